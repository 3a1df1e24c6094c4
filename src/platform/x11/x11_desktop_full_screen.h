#pragma once

// Desktop full screen on X11: a window covers its monitor without a video-mode switch,
// through the window manager's full-screen state, or as an override-redirect window when no
// window manager runs, and goes back to its size and place. Main thread only.

#include <X11/Xlib.h>

#include <cstdint>

namespace vexel {

struct MonitorRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The monitor holding the point (x, y) of the root window, or with `any_point` false the
// primary one; the first when none matches, the whole screen without RandR monitors.
MonitorRect MonitorAt(Display* display, int x, int y, bool any_point);

// The events our own windows take while they are windows of a fixed size.
constexpr long kWindowInputMask = KeyPressMask | KeyReleaseMask | ButtonPressMask |
                                  ButtonReleaseMask | PointerMotionMask | ResizeRedirectMask;

// A window's full-screen state and what it goes back to.
struct DesktopFullScreen {
    bool on = false;
    bool override_redirect = false;  // no window manager: override-redirect
    int32_t windowed_width = 0, windowed_height = 0;
    int32_t windowed_x = 0, windowed_y = 0;
};

// Makes `window` cover its monitor (on) or go back to its size and place (off); the window's
// size in pixels before and after is `surface_width` × `surface_height`.
void SetDesktopFullScreen(Display* display, Window window, DesktopFullScreen& state, bool on,
                          int32_t& surface_width, int32_t& surface_height);

}  // namespace vexel
