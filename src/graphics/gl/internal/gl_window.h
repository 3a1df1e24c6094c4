#pragma once

// The window records of the native window layer behind graphics/gl/native_window.h: what
// the program asked for, the surface shown, and the platform's window with its GL context.
// Main thread only.

#include <cstdint>
#include <memory>

#include "graphics/gl/native_window.h"
#include "platform/window.h"

namespace vexel {

enum class GLWindowKind : int32_t {
    Closed = 0,
    Attached = 1,    // a foreign window; never destroyed here
    OwnWindow = 2,   // our own window
    FullScreen = 3,  // our own window in a switched video mode
};

struct GLWindowRecord {
    GLWindowKind kind = GLWindowKind::Closed;
    // The logical size: what the program asked for and draws in.
    int32_t width = 0;
    int32_t height = 0;
    // The window's pixels, which show the logical frame scaled and centred: scale × the
    // logical size for a scaled window, the monitor while it covers the monitor.
    int32_t surface_width = 0;
    int32_t surface_height = 0;
    // Covering its monitor without a mode switch.
    bool desktop_full_screen = false;
    int32_t depth = 0;  // 24 for our own windows whatever was asked, 0 when attached
    int32_t hertz = 0;  // as requested, not the rate of the chosen mode
    int32_t flags = 0;
    int32_t sync = -1;  // the swap interval last set on it
    // The platform's window and context; null once closed.
    std::unique_ptr<PlatformWindow> window;
};

}  // namespace vexel
