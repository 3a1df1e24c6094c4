#pragma once

// Windows with GLX contexts on the X display: our own windows and full-screen windows, the
// hidden window whose context later contexts share, and other programs' windows drawn into.
// Main thread only.

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/window.h"
#include "platform/x11/x11_desktop_full_screen.h"

namespace vexel {

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

// Whether the display has GLX; remembers the display and its swap-interval entry point the
// first time it does.
bool GlxReady();

// The display GLX runs on once GlxReady answered true, else null.
Display* GlxDisplay();

// The visual for the graphics flags, or null; free with XFree.
XVisualInfo* ChooseGLXVisual(int32_t flags);

// Replaces the swap-interval entry point (null: none) and returns the previous one, so that
// tests can count the intervals sent.
using SwapIntervalFunction = int (*)(int interval);
SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function);

// One X window with its GLX context.
class GlxWindow : public PlatformWindow {
  public:
    enum class Kind { Attached, Own, FullScreen };

    GlxWindow(Kind kind, int32_t flags) : kind_(kind), flags_(flags) {}
    ~GlxWindow() override;
    GlxWindow(const GlxWindow&) = delete;
    GlxWindow& operator=(const GlxWindow&) = delete;

    bool Select(const PlatformWindow* share, bool remembered) override;
    bool HasContext() const override { return static_cast<bool>(context_); }
    bool ContextCurrent() const override;
    void SetSwapInterval(int32_t interval) override;
    void Swap() override;
    bool ForeignSize(int32_t& width, int32_t& height) override;
    bool SetDesktopFullScreen(bool on, int32_t& surface_width, int32_t& surface_height) override;
    void SetPointerView(int32_t x, int32_t y, float scale) override;

    // The GLX context, for contexts that share its objects; null without one.
    GLXContext Context() const { return context_.get(); }
    // The X window.
    Window XWindow() const { return window_.get(); }

    Kind kind_;
    int32_t flags_;
    // Another program's window is held like ours but given up at close, never destroyed.
    XWindowOwner window_;
    XColormapOwner colormap_;
    GLXContextOwner context_;
    DesktopFullScreen full_screen_;
};

// The GLX window behind a window of the X11 platform.
inline const GlxWindow& AsGlxWindow(const PlatformWindow& window) {
    return static_cast<const GlxWindow&>(window);
}

// The window concern of the X11 platform.
class X11Windows : public PlatformWindows {
  public:
    bool Ready() override { return GlxReady(); }
    std::unique_ptr<PlatformWindow> Create(const WindowRequest& request, int32_t& surface_width,
                                           int32_t& surface_height) override;
    std::unique_ptr<PlatformWindow> Attach(uintptr_t native, int32_t flags) override;
    void* GLProcAddress(const char* name) override;
};

}  // namespace vexel
