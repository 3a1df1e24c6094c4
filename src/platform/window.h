#pragma once

// The window concern of a platform: windows and full-screen windows with the GL context
// that draws into them, and windows of other programs drawn into. Main thread only.

#include <cstdint>
#include <memory>

namespace vexel {

enum class WindowKind : int32_t {
    Hidden,      // only for its context, whose GL objects later contexts share
    Window,      // a window of a fixed size on the desktop
    FullScreen,  // the whole screen in a switched video mode
};

class PlatformWindow;

// What a window is asked to be.
struct WindowRequest {
    WindowKind kind = WindowKind::Window;
    // The logical size; a window's surface is `scale` times it.
    int32_t width = 0, height = 0;
    int32_t hertz = 0;
    int32_t flags = 0;  // the graphics flags: double buffer, alpha, depth, stencil, accumulation
    int32_t scale = 1;
    // The window whose context's GL objects the new context shares; may be null.
    const PlatformWindow* share = nullptr;
};

// One window and its GL context. Destroying it releases both and restores a switched
// video mode; a window of another program is given up, never destroyed.
class PlatformWindow {
  public:
    virtual ~PlatformWindow() = default;
    /// Makes the context current, making it first (sharing `share`'s GL objects) for another
    /// program's window. With `remembered` the layer above holds it current already, and only
    /// GL's own answer is asked. False when the window has no context.
    virtual bool Select(const PlatformWindow* share, bool remembered) = 0;
    /// Whether the window has its GL context (another program's gets one on selection).
    virtual bool HasContext() const = 0;
    /// Whether its context is the current one of this thread.
    virtual bool ContextCurrent() const = 0;
    /// Sets the swap interval of the current context (0 or 1).
    virtual void SetSwapInterval(int32_t interval) = 0;
    /// Shows the back buffer.
    virtual void Swap() = 0;
    /// Another program's window: its current size, true. Our own windows: false.
    virtual bool ForeignSize(int32_t& width, int32_t& height) = 0;
    /// Makes our own window cover its monitor (on) or go back (off), keeping the window and
    /// its context; the surface's new size is written. False when it cannot.
    virtual bool SetDesktopFullScreen(bool on, int32_t& surface_width, int32_t& surface_height) = 0;
    /// Where the logical frame sits in this window when it is the input window: from pixel
    /// (x, y) at `scale` pixels per unit.
    virtual void SetPointerView(int32_t x, int32_t y, float scale) = 0;
};

class PlatformWindows {
  public:
    virtual ~PlatformWindows() = default;
    /// Whether windows with GL contexts can be made (asked again on the next call when not).
    virtual bool Ready() = 0;
    /// A new window as asked, with its surface's size written; null when it cannot be made.
    virtual std::unique_ptr<PlatformWindow> Create(const WindowRequest& request,
                                                   int32_t& surface_width,
                                                   int32_t& surface_height) = 0;
    /// Another program's window (a native window id) to draw into with `flags`.
    virtual std::unique_ptr<PlatformWindow> Attach(uintptr_t native, int32_t flags) = 0;
    /// The address of a GL function by name, or null.
    virtual void* GLProcAddress(const char* name) = 0;
};

}  // namespace vexel
