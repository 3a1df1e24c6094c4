#pragma once

// The X11 connection: the one display connection of the process, the input window with the
// view the pointer is reported in, and the translation of X events into the framework's
// meaning. The X11 window code and tests include this header; the modules above reach it
// through platform/input.h. Main thread only.

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>

#include "platform/input.h"
#include "platform/key_codes.h"

namespace vexel {

// Opens the display (after XInitThreads), once. A missing display is remembered as null.
void OpenXGlue();

// The display connection, or null when none could be opened.
Display* SystemDisplay();

// The window that pointer warps and cursor changes apply to; 0 until a window is made.
void SetInputWindow(Window window);
Window InputWindow();

// Where the program's picture sits in the input window: from window pixel (x, y) at `scale`
// window pixels per unit. Pointer positions of events are reported in those units (window
// pixel p becomes (p - x) / scale, truncated toward zero) and warps take them. Identity
// (0, 0, 1) until set.
void SetInputWindowView(int32_t x, int32_t y, float scale);

// The atom "WM_DELETE_WINDOW" if the server knows it, else 0.
Atom DeleteWindowAtom();

// Runs `requests` and reports whether the server accepted them all, instead of letting
// Xlib's default handler end the process on a refused request.
bool ServerAccepts(Display* display, const std::function<void()>& requests);

// Input and the event wait over the display connection.
class X11Input : public PlatformInput {
  public:
    void Pump(InputSink sink) override;
    void Wait(int wake_fd, int timeout_ms) override;
    void WarpPointer(int32_t x, int32_t y) override;
    void SetCursorVisible(bool visible) override;
};

}  // namespace vexel
