#pragma once

#include <cstdint>
#include <memory>

#include "runtime/object.h"

namespace vexel {

// The system driver: pumps and waits for the window system's events and runs the desktop
// requesters. Exactly one exists, made on first use; it opens the X display. Main thread
// only.
class TSystemDriver : public Object {
  public:
    // Handles every pending event without waiting.
    virtual void Poll() = 0;
    // Sleeps until an event or posted work arrives (at most 10 seconds), then polls.
    virtual void Wait() = 0;
    // Moves the pointer to (x, y) of the input window (on Wayland: reports it there until the
    // pointer really moves).
    virtual void MoveMouse(int32_t x, int32_t y) = 0;
    // Shows (1) or hides (0) the pointer over the input window.
    virtual void SetMouseVisible(int32_t visible) = 0;
    // Console requesters on standard output and input.
    virtual void Notify(const String& text, int32_t serious) = 0;
    // 1 when the answer starts with "y" or "Y", else 0.
    virtual int32_t Confirm(const String& text, int32_t serious) = 0;
    // 1 for "y", 0 for "n", -1 for anything else.
    virtual int32_t Proceed(const String& text, int32_t serious) = 0;
    // Asks on the console for a file or directory name; the line typed.
    // @{
    virtual String RequestFile(const String& text, const String& exts, int32_t save,
                               const String& path) = 0;
    virtual String RequestDir(const String& text, const String& path) = 0;
    // @}
    // Opens the url with the desktop's opener (KDE or GNOME); always 0.
    virtual int32_t OpenURL(const String& url) = 0;
};

// The Linux system driver over the desktop platform (X11 or Wayland).
class TLinuxSystemDriver : public TSystemDriver {
  public:
    TLinuxSystemDriver();

    void Poll() override;
    void Wait() override;
    void MoveMouse(int32_t x, int32_t y) override;
    void SetMouseVisible(int32_t visible) override;
    void Notify(const String& text, int32_t serious) override;
    int32_t Confirm(const String& text, int32_t serious) override;
    int32_t Proceed(const String& text, int32_t serious) override;
    String RequestFile(const String& text, const String& exts, int32_t save,
                       const String& path) override;
    String RequestDir(const String& text, const String& path) override;
    int32_t OpenURL(const String& url) override;
    // This driver cannot emit on behalf of others: throws RuntimeError.
    virtual void Emit();
};

// The current system driver, made on first use.
TSystemDriver& CurrentSystemDriver();

// Runs the driver's Poll, unless a poll or wait is already running (a hook that queries
// input while events are being emitted must not start a nested pump).
void PumpSystem();
// Runs the driver's Wait under the same guard.
void AwaitSystem();

// The current driver's MoveMouse, SetMouseVisible(0) and SetMouseVisible(1). Wayland lets no
// program move the pointer: there MoveMousePointer makes the reported position the asked one
// (with a mouse-move event to it) until the pointer really moves.
// @{
void MoveMousePointer(int32_t x, int32_t y);
void HideMousePointer();
void ShowMousePointer();
// @}

// The desktop platform the framework chose at start-up: u"wayland" when it talks to a
// Wayland compositor, u"x11" when to an X server (or to none). VEXEL_PLATFORM=x11 or wayland
// chooses instead.
String DesktopPlatform();

// The local date as "%d %b %Y" and time as "%H:%M:%S".
// @{
String CurrentDateText();
String CurrentTimeText();
// @}

}  // namespace vexel
