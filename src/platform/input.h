#pragma once

// The input concern of a platform: turning the desktop's events into the framework's
// meaning, the wait for them, the pointer and its image. Main thread only.

#include <cstdint>

namespace vexel {

// What an event of the desktop means to the framework.
enum class InputEvent : int32_t {
    KeyDown,       // data: key code
    KeyUp,         // data: key code
    KeyRepeat,     // data: key code
    Character,     // data: the character typed; no position
    MouseDown,     // data: button (1 left, 2 right, 3 middle)
    MouseUp,       // data: button
    MouseMove,     // no data
    MouseWheel,    // data: 1 away from the user, -1 toward
    CloseRequest,  // the desktop asks the program to end; no data, no position
};

// Receives each meaning, with the pointer position in the view's units where it has one.
using InputSink = void (*)(InputEvent event, int32_t data, int32_t x, int32_t y);

class PlatformInput {
  public:
    virtual ~PlatformInput() = default;
    /// Takes every pending event of the desktop and hands what it means to `sink`.
    virtual void Pump(InputSink sink) = 0;
    /// Sleeps until the desktop has events or `wake_fd` is readable, at most `timeout_ms`.
    virtual void Wait(int wake_fd, int timeout_ms) = 0;
    /// Moves the pointer to (x, y) of the input window, in the view's units.
    virtual void WarpPointer(int32_t x, int32_t y) = 0;
    /// Shows the normal pointer image over the input window, or none.
    virtual void SetCursorVisible(bool visible) = 0;
};

}  // namespace vexel
