#pragma once

// Full-screen video modes on X11: the XFree86 video-mode extension lists them and switches,
// RandR where the server's driver refuses the extension's switch; the desktop's mode is
// restored at close. Main thread only.

#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdint>

#include "platform/display.h"

namespace vexel {

// Asks once whether the display has the video-mode extension; without it (Xvfb) there are
// no modes and no full screen.
void InitVideoModes(Display* display);

// Saves the desktop's mode and switches to the first mode of the size at `hertz`, else the
// first of the size at any rate. False (nothing switched) when there is no such mode.
bool SwitchToFullScreenMode(int32_t width, int32_t height, int32_t hertz);

// Switches back to the mode saved by SwitchToFullScreenMode.
void RestoreDesktopMode();

// Up to `capacity` modes of the display, in the extension's order; the count written.
int32_t ListXVideoModes(VideoMode* modes, int32_t capacity);

// Rounded refresh rate of a mode line; doubled when interlaced, halved when double-scanned.
int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode);

}  // namespace vexel
