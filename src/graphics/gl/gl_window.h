#pragma once

// The native window layer of the OpenGL driver: GLX visuals and contexts, windows on the
// system display, full-screen video-mode switching through the XFree86 video-mode
// extension (restored at close and at exit), the swap interval and buffer swaps. Main
// thread only.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdint>
#include <memory>
#include <utility>

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

// Records are shared: the graphics context owns one, the layer remembers the current and
// the shared one. Closing releases the X and GL resources at once; the memory goes with
// the last reference.
using GLWindowPtr = std::shared_ptr<GLWindowRecord>;

// 0 when the display has GLX, -1 when not (asked again on the next call).
int EnsureGLXReady();
// The visual for the graphics flags, or null; free with XFree.
XVisualInfo* ChooseGLXVisual(int32_t flags);
// A window (depth 0) or full-screen window (depth non-zero), or the hidden shared-context
// window when width and height are 0. A window's surface is `scale` × width × height (its
// size hints fix it there); full screen and the hidden window ignore `scale`. Null when it
// cannot be made.
GLWindowPtr CreateGLWindow(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags, int32_t scale = 1);
// A record drawing into someone else's window; its context is made on first selection.
GLWindowPtr AttachGLWindow(Window window, int32_t flags);
// Makes the record's context current; null leaves the current context as it is.
void SelectGLWindow(const GLWindowPtr& record);
// Swaps the current record's buffers with swap interval 0 or 1 (sent to GLX only when it
// changes), then pumps X events.
void SwapGLWindow(int32_t sync);
void GLWindowSettings(const GLWindowPtr& record, int32_t& width, int32_t& height, int32_t& depth,
                      int32_t& hertz, int32_t& flags);
// The record's surface in pixels (an attached window's current size); zeros without one.
void GLWindowSurface(const GLWindowPtr& record, int32_t& width, int32_t& height);
// Makes our own window cover its monitor (on) or go back to its size and place (off),
// through the window manager's full-screen state, or as an override-redirect window when no
// window manager runs. The window, its GL context and textures stay. True when the window
// is in the asked state afterwards.
bool SetGLWindowDesktopFullScreen(const GLWindowPtr& record, bool on);
// The size of the monitor a new window opens on (the primary one), or of the whole screen
// without monitor information; zeros without a display.
void DesktopMonitorSize(int32_t& width, int32_t& height);

// Releases the window, context and video mode of the record; harmless on a closed record.
void CloseGLWindow(const GLWindowPtr& record);
// Exit handler: closes the current and the shared record.
void CloseAllGLWindows();
// Makes the hidden context whose GL objects every later context shares, once.
void EnsureSharedGLContext();

struct VideoMode {
    int32_t width, height, depth, hertz;
};
// Up to `capacity` modes of the display, in the extension's order; the count written.
int32_t ListVideoModes(VideoMode* modes, int32_t capacity);
// Rounded refresh rate of a mode line; doubled when interlaced, halved when double-scanned.
int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode);

// The record made current last, or null.
GLWindowPtr CurrentGLWindow();

// Replaces the swap-interval entry point (null: none) and returns the previous one, so that
// tests can count the intervals sent.
using SwapIntervalFunction = int (*)(int interval);
SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function);

}  // namespace vexel
