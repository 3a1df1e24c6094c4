#pragma once

// Windows on Wayland: an xdg-shell toplevel of a fixed size with decorations from the
// compositor where it offers them, drawn by an EGL context on a wl_egl_window whose buffer is
// the logical size times the compositor's preferred scale, shown at the logical size through
// wp_viewporter; full screen through the toplevel's full-screen state. Main thread only.

#include <EGL/egl.h>

#include <cstdint>
#include <memory>

#include "platform/window.h"

struct wl_surface;
struct wl_egl_window;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_toplevel_decoration_v1;
struct wp_viewport;
struct wp_fractional_scale_v1;

namespace vexel {

class EglWindow : public PlatformWindow {
  public:
    EglWindow() = default;
    ~EglWindow() override;
    EglWindow(const EglWindow&) = delete;
    EglWindow& operator=(const EglWindow&) = delete;

    bool Select(const PlatformWindow* share, bool remembered) override;
    bool HasContext() const override { return context_ != EGL_NO_CONTEXT; }
    bool ContextCurrent() const override;
    void SetSwapInterval(int32_t interval) override;
    void Swap() override;
    bool ForeignSize(int32_t& width, int32_t& height) override;
    bool SetDesktopFullScreen(bool on, int32_t& surface_width, int32_t& surface_height) override;
    void SetPointerView(int32_t x, int32_t y, float scale) override;

    // Makes the window (unless hidden) and its context; false when it cannot.
    bool Open(const WindowRequest& request, int32_t& surface_width, int32_t& surface_height);

    // The toplevel's state as the compositor configured it last.
    struct Configured {
        bool done = false;  // an xdg_surface.configure arrived
        int32_t width = 0, height = 0;
        bool full_screen = false;
    };
    Configured configured_;
    // The compositor's preferred scale in 120ths (wp_fractional_scale_v1), 0 until told.
    uint32_t preferred_scale_120_ = 0;
    wl_surface* surface_ = nullptr;

  private:
    // Waits up to a second for a configure matching `ready`.
    template <typename Ready>
    void AwaitConfigure(Ready ready);
    // Gives the buffer the logical size `width` × `height` at the current scale.
    void Resize(int32_t width, int32_t height);
    float Scale() const;
    // The buffer's size: the surface's logical size at the scale, rounded.
    void BufferSize(int32_t& width, int32_t& height) const;

    EGLContext context_ = EGL_NO_CONTEXT;
    EGLSurface egl_surface_ = EGL_NO_SURFACE;
    wl_egl_window* egl_window_ = nullptr;
    xdg_surface* xdg_surface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    zxdg_toplevel_decoration_v1* decoration_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wp_fractional_scale_v1* fractional_scale_ = nullptr;
    int32_t width_ = 0, height_ = 0;                  // the logical size asked for
    int32_t logical_width_ = 0, logical_height_ = 0;  // the surface's size now
    int32_t integer_scale_ = 1;                       // used without wp_fractional_scale_v1
    bool full_screen_ = false;
};

// The window concern of the Wayland platform.
class WaylandWindows : public PlatformWindows {
  public:
    bool Ready() override;
    std::unique_ptr<PlatformWindow> Create(const WindowRequest& request, int32_t& surface_width,
                                           int32_t& surface_height) override;
    // Wayland has no windows of other programs to draw into: always null.
    std::unique_ptr<PlatformWindow> Attach(uintptr_t native, int32_t flags) override;
    void* GLProcAddress(const char* name) override;
};

}  // namespace vexel
