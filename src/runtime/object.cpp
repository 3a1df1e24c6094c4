#include "runtime/object.h"

#include <typeinfo>

namespace vexel {

String Object::ToString() const {
    return FromUtf8(typeid(*this).name());
}

int Object::Compare(const Object& other) const {
    const auto* a = this;
    const auto* b = &other;
    return a < b ? -1 : (a > b ? 1 : 0);
}

int StringObject::Compare(const Object& other) const {
    if (const auto* text = dynamic_cast<const StringObject*>(&other)) {
        return value.compare(text->value) < 0 ? -1 : (value == text->value ? 0 : 1);
    }
    return Object::Compare(other);
}

String ObjectText(const ObjectPtr& object) {
    if (const auto text = std::dynamic_pointer_cast<StringObject>(object)) return text->value;
    return {};
}

}  // namespace vexel
