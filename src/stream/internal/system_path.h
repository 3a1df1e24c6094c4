#pragma once

#include <string>

#include "runtime/string.h"

namespace vexel {

// `path` as the system takes it: NormalizePathName's form, in UTF-8.
std::string SystemPath(const String& path, bool as_directory = false);

// True when not even a dangling symbolic link is left at `system_path`.
bool NothingAt(const std::string& system_path);

}  // namespace vexel
