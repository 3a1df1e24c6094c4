#pragma once

// The native window layer of the OpenGL driver behind graphics/gl/native_window.h: GLX
// visuals and contexts, windows on the system display, full-screen video-mode switching
// through the XFree86 video-mode extension (restored at close and at exit), the swap
// interval and buffer swaps. Main thread only.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "graphics/gl/native_window.h"

namespace vexel {

enum class GLWindowKind : int32_t {
    Closed = 0,
    Attached = 1,    // a foreign window; never destroyed here
    OwnWindow = 2,   // our own window
    FullScreen = 3,  // our own override-redirect window in a switched video mode
};

// Owns one resource of the X display: `Release(display, handle)` frees it when the owner is
// reset or destroyed. Move-only.
template <typename Handle, void (*Release)(Display*, Handle)>
class DisplayResource {
  public:
    DisplayResource() = default;
    DisplayResource(Display* display, Handle handle) : display_(display), handle_(handle) {}
    ~DisplayResource() { reset(); }
    DisplayResource(DisplayResource&& other) noexcept
        : display_(other.display_), handle_(std::exchange(other.handle_, Handle{})) {}
    DisplayResource& operator=(DisplayResource&& other) noexcept {
        if (this != &other) {
            reset();
            display_ = other.display_;
            handle_ = std::exchange(other.handle_, Handle{});
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }
    void reset() {
        if (handle_ != Handle{}) Release(display_, std::exchange(handle_, Handle{}));
    }
    // Gives the handle up without freeing it.
    Handle release() { return std::exchange(handle_, Handle{}); }

  private:
    Display* display_ = nullptr;
    Handle handle_{};
};

// Unbinds the context first when it is current on this thread.
void DestroyGLXContext(Display* display, GLXContext context);
void DestroyXWindow(Display* display, Window window);
void FreeXColormap(Display* display, Colormap colormap);

using GLXContextOwner = DisplayResource<GLXContext, DestroyGLXContext>;
using XWindowOwner = DisplayResource<Window, DestroyXWindow>;
using XColormapOwner = DisplayResource<Colormap, FreeXColormap>;

struct GLWindowRecord {
    GLWindowKind kind = GLWindowKind::Closed;
    // The logical size: what the program asked for and draws in.
    int32_t width = 0;
    int32_t height = 0;
    // The window's pixels, which show the logical frame scaled and centred: scale × the
    // logical size for a scaled window, the monitor while it covers the monitor.
    int32_t surface_width = 0;
    int32_t surface_height = 0;
    // Covering its monitor without a mode switch; with the window's own surface and place
    // to go back to.
    bool desktop_full_screen = false;
    bool override_full_screen = false;  // no window manager: override-redirect
    int32_t windowed_surface_width = 0, windowed_surface_height = 0;
    int32_t windowed_x = 0, windowed_y = 0;
    int32_t depth = 0;  // 24 for our own windows whatever was asked, 0 when attached
    int32_t hertz = 0;  // as requested, not the rate of the chosen mode
    int32_t flags = 0;
    int32_t sync = -1;  // the swap interval last set on it
    // An attached record's window belongs to someone else: it is given up, never destroyed.
    XWindowOwner window;
    XColormapOwner colormap;
    GLXContextOwner context;

    GLWindowRecord() = default;
    GLWindowRecord(const GLWindowRecord&) = delete;
    GLWindowRecord& operator=(const GLWindowRecord&) = delete;
    ~GLWindowRecord() {
        if (kind == GLWindowKind::Attached) window.release();
    }
};

// The visual for the graphics flags, or null; free with XFree.
XVisualInfo* ChooseGLXVisual(int32_t flags);
// Rounded refresh rate of a mode line; doubled when interlaced, halved when double-scanned.
int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode);

// Replaces the swap-interval entry point (null: none) and returns the previous one, so that
// tests can count the intervals sent.
using SwapIntervalFunction = int (*)(int interval);
SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function);

}  // namespace vexel
