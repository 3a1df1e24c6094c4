#pragma once

// The X11 platform: the display connection with its input, GLX windows, RandR monitors and
// XFree86 video modes.

#include <memory>

#include "platform/platform.h"

namespace vexel {

// Whether an X server answers on DISPLAY.
bool X11ServerAnswers();

// The X11 platform over the display named by DISPLAY. Without an X server it has no events
// and makes no windows.
std::unique_ptr<Platform> OpenX11Platform();

}  // namespace vexel
