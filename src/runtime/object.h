#pragma once

#include "runtime/cxx_standard.h"

#include <memory>

#include "runtime/string.h"

namespace vexel {

// Root of every framework object type. Objects are shared with std::shared_ptr; an object
// can hand out a reference to itself through shared_from_this().
class Object : public std::enable_shared_from_this<Object> {
  public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // Printable form of the object; the type name unless a type says otherwise.
    virtual String ToString() const;
    // Ordering of two objects; by identity unless a type says otherwise.
    virtual int Compare(const Object& other) const;
};

using ObjectPtr = std::shared_ptr<Object>;

// A string boxed as an object, for the places that carry "an object, which may be a string"
// (event extras, exception values).
class StringObject : public Object {
  public:
    // An object holding `value`; ToString returns it.
    explicit StringObject(String value) : value(std::move(value)) {}
    String ToString() const override { return value; }
    int Compare(const Object& other) const override;

    String value;
};

// The string held by `object` if it is a StringObject, else the empty string.
String ObjectText(const ObjectPtr& object);

}  // namespace vexel
