#pragma once

// The framework's key codes (Windows virtual-key numbering) of X keysyms, which xkbcommon's
// keysyms share.

#include <cstdint>

namespace vexel {

// The framework key code of an unshifted keysym.
int32_t KeyCodeForKeysym(unsigned long keysym);

}  // namespace vexel
