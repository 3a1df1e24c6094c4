#include "platform/app_identity.h"

#include "runtime/startup.h"
#include "runtime/string.h"

namespace vexel {

std::string AppInstanceName() {
    const String& file = AppFile();
    std::string name = ToUtf8(file.substr(file.rfind(u'/') + 1));
    return name.empty() ? "vexel" : name;
}

std::string AppTitleUtf8() {
    return ToUtf8(AppTitle());
}

}  // namespace vexel
