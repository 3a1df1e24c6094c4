#pragma once

#include <string_view>

namespace vexel {

// True when a 2-D drawing context is current. Without one, drawing goes to the silent driver
// and draws nothing; this records that misuse under `call` (see LastError), so that a program
// drawing before its window opened hears why its screen stays empty.
bool DrawingContextOpen(std::u16string_view call);

}  // namespace vexel
