#pragma once

// The desktop platform the framework runs on, behind one interface per concern: input and
// the event wait (platform/input.h), windows with their GL contexts (platform/window.h) and
// display information (platform/display.h). Each platform lives in a folder of its own
// (x11/, wayland/); the modules above include only the interfaces. Main thread only.

#include <cstdint>

namespace vexel {

class PlatformInput;
class PlatformWindows;
class PlatformDisplay;

enum class PlatformKind : int32_t {
    X11 = 1,
    Wayland = 2,
};

// One platform: its connection to the desktop and the three concerns over it.
class Platform {
  public:
    virtual ~Platform() = default;
    /// Which platform this is.
    virtual PlatformKind Kind() const = 0;
    /// Input and the wait for events.
    virtual PlatformInput& Input() = 0;
    /// Windows and their GL contexts.
    virtual PlatformWindows& Windows() = 0;
    /// Monitors and video modes.
    virtual PlatformDisplay& Display() = 0;
};

// The platform of the process, chosen on the first call and kept until the process ends:
// Wayland when a compositor answers (WAYLAND_DISPLAY, or the default socket), X11 otherwise.
// VEXEL_PLATFORM=x11 or wayland asks for one; when it is not there, the program ends with a
// line on standard error saying so.
Platform& CurrentPlatform();

}  // namespace vexel
