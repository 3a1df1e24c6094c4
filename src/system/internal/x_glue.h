#pragma once

// The X glue of the system driver: the one display connection of the process, the event
// pump, the wait on the display and the wake pipe, and the main-thread post queue. Other
// modules reach the display through SystemDisplay; only the graphics window layer and the
// system driver include this header. Main thread only unless a function says otherwise.

#include <X11/Xlib.h>

#include <cstdint>

#include "runtime/object.h"

namespace vexel {

// Opens the display (after XInitThreads) and the wake pipe, once. A missing display is
// remembered as null: pumps and waits then only run posted work.
void OpenXGlue();

// The display connection, or null when none could be opened.
Display* SystemDisplay();

// The window that pointer warps and cursor changes apply to; 0 until a window is made.
void SetInputWindow(Window window);
Window InputWindow();

// Takes every pending X event and emits what it means as TEvents, then runs the work posted
// to the main thread.
void PumpXEvents();

// Sleeps until the display or the wake pipe has something (at most 10 seconds), then pumps.
void WaitXEvents();

// Work to run on the main thread, called there as function(object, data).
using MainThreadFunction = void (*)(const ObjectPtr& object, void* data);

// Queues function(object, data) for the main thread and wakes a main thread blocked in
// WaitXEvents. Any thread may call this.
void PostToMainThread(MainThreadFunction function, ObjectPtr object, void* data);

// Moves the pointer to (x, y) of the input window, in the view's units.
void WarpPointerInInputWindow(int32_t x, int32_t y);

// Where the program's picture sits in the input window: from window pixel (x, y) at `scale`
// window pixels per unit. Pointer positions of events are reported in those units (window
// pixel p becomes (p - x) / scale, truncated toward zero) and warps take them. Identity
// (0, 0, 1) until set.
void SetInputWindowView(int32_t x, int32_t y, float scale);

// Shows the normal cursor on the input window, or the invisible one.
void SetInputCursorVisible(bool visible);

// The framework key code (Windows virtual-key numbering) of an unshifted X keysym.
int32_t KeyCodeForKeysym(unsigned long keysym);

// The atom "WM_DELETE_WINDOW" if the server knows it, else 0.
Atom DeleteWindowAtom();

}  // namespace vexel
