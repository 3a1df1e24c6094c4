#pragma once

// Helpers for tests that run against a real X server: a second connection that injects
// input through the XTEST extension and inspects windows, and a plain input window on the
// system driver's display for the tests that do not need the graphics layer.

#include <X11/Xlib.h>

#include <string>

namespace vexel::testing {

class XInjector {
  public:
    XInjector();
    ~XInjector();
    XInjector(const XInjector&) = delete;
    XInjector& operator=(const XInjector&) = delete;

    Display* display() const { return display_; }

    // Presses or releases the key that yields `keysym`, giving a spare key code that
    // symbol (and its capital) when the keyboard has no key for it.
    void Key(unsigned long keysym, bool press);
    void Tap(unsigned long keysym);
    void Button(unsigned int button, bool press);
    void Click(unsigned int button);
    // Moves the pointer to (x, y) of the root window.
    void MoveTo(int x, int y);

    // Waits until the server has delivered everything injected so far to the system
    // driver's connection (both connections make a round trip).
    void Sync();

    // Makes the atoms a window manager would have made ("_NET_WM_NAME", "UTF8_STRING",
    // "WM_DELETE_WINDOW"); windows only get their close protocol when the last one exists.
    void InternDesktopAtoms();
    // Asks `window` to close the way a window manager does (WM_DELETE_WINDOW).
    void RequestClose(Window window);

    // A text property of `window` as raw bytes, e.g. "_NET_WM_NAME".
    std::string Property(Window window, const char* name);

  private:
    unsigned int KeycodeFor(unsigned long keysym);

    Display* display_ = nullptr;
};

// A 200x200 window at the root's origin on the system display, selecting the input events
// the graphics window selects, mapped, focused and made the input window.
class PlainInputWindow {
  public:
    PlainInputWindow();
    ~PlainInputWindow();
    PlainInputWindow(const PlainInputWindow&) = delete;
    PlainInputWindow& operator=(const PlainInputWindow&) = delete;

    Window window() const { return window_; }

  private:
    Window window_ = 0;
};

// A property of `window` on `display` as raw bytes (up to 4 KiB), e.g. the title in
// "_NET_WM_NAME"; empty when the window has none.
std::string WindowProperty(Display* display, Window window, Atom property);

// Sends `window` on `display` what a window manager sends when its close button is pressed
// (WM_PROTOCOLS with WM_DELETE_WINDOW) and waits until the server has it.
void SendCloseRequest(Display* display, Window window);

// Whether the system driver could open a display; tests that need one skip otherwise.
bool HaveDisplay();

}  // namespace vexel::testing
