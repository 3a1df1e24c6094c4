#include "platform/wayland/egl_window.h"

#include <EGL/eglext.h>
#include <GL/gl.h>
#include <wayland-egl.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/app_identity.h"
#include "platform/wayland/wayland_connection.h"
#include "viewporter-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace vexel {

namespace {

// The EGL display over the compositor connection, initialised once; EGL_NO_DISPLAY without.
EGLDisplay EglDisplay() {
    static const EGLDisplay display = [] {
        wl_display* connection = Wayland().display;
        if (!connection) return EGL_NO_DISPLAY;
        EGLDisplay egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, connection, nullptr);
        if (egl == EGL_NO_DISPLAY || !eglInitialize(egl, nullptr, nullptr)) return EGL_NO_DISPLAY;
        return egl;
    }();
    return display;
}

// The first configuration for the graphics flags that draws into windows with OpenGL, with an
// alpha channel only when asked (the compositor would blend the window otherwise).
EGLConfig ChooseConfig(int32_t flags) {
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_WINDOW_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_ALPHA_SIZE,
                                 (flags & 4) ? 1 : 0,
                                 EGL_DEPTH_SIZE,
                                 (flags & 8) ? 1 : 0,
                                 EGL_STENCIL_SIZE,
                                 (flags & 16) ? 1 : 0,
                                 EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(EglDisplay(), attributes, nullptr, 0, &count) || count <= 0) {
        return nullptr;
    }
    std::vector<EGLConfig> configs(static_cast<size_t>(count));
    eglChooseConfig(EglDisplay(), attributes, configs.data(), count, &count);
    for (const EGLConfig config : configs) {
        EGLint alpha = 0;
        eglGetConfigAttrib(EglDisplay(), config, EGL_ALPHA_SIZE, &alpha);
        if ((alpha > 0) == ((flags & 4) != 0)) return config;
    }
    return configs[0];
}

// The largest integer scale of the outputs: the compositor's scale before it tells the
// surface its own.
int32_t OutputScale() {
    int32_t scale = 1;
    for (const WaylandOutput& output : Wayland().outputs)
        scale = std::max(scale, output.scale);
    return scale;
}

// Shows one black frame: the first maps the window, and the software renderer takes a new
// buffer size at a swap.
void PresentBlack(EGLSurface surface) {
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    eglSwapBuffers(EglDisplay(), surface);
}

EglWindow& Of(void* data) {
    return *static_cast<EglWindow*>(data);
}

void SurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    Of(data).configured_.done = true;
}

const xdg_surface_listener kSurfaceListener = {SurfaceConfigure};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states) {
    EglWindow::Configured& configured = Of(data).configured_;
    configured.width = width;
    configured.height = height;
    configured.full_screen = false;
    const auto* state = static_cast<const uint32_t*>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        if (state[i] == XDG_TOPLEVEL_STATE_FULLSCREEN) configured.full_screen = true;
    }
}

void ToplevelClose(void*, xdg_toplevel*) {
    QueueInput(InputEvent::CloseRequest);
}

// Bound at version 2: the bounds and capabilities events never come.
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, nullptr,
                                                 nullptr};

void PreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    Of(data).preferred_scale_120_ = scale;
}

const wp_fractional_scale_v1_listener kFractionalScaleListener = {PreferredScale};

}  // namespace

EglWindow::~EglWindow() {
    const EGLDisplay display = EglDisplay();
    if (context_ != EGL_NO_CONTEXT) {
        if (eglGetCurrentContext() == context_) {
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(display, context_);
    }
    if (egl_surface_ != EGL_NO_SURFACE) eglDestroySurface(display, egl_surface_);
    if (egl_window_) wl_egl_window_destroy(egl_window_);
    if (fractional_scale_) wp_fractional_scale_v1_destroy(fractional_scale_);
    if (viewport_) wp_viewport_destroy(viewport_);
    if (decoration_) zxdg_toplevel_decoration_v1_destroy(decoration_);
    if (toplevel_) xdg_toplevel_destroy(toplevel_);
    if (xdg_surface_) xdg_surface_destroy(xdg_surface_);
    if (surface_) {
        if (Wayland().input_surface == surface_) SetInputSurface(nullptr, 1);
        wl_surface_destroy(surface_);
    }
    if (Wayland().display) wl_display_flush(Wayland().display);
}

template <typename Ready>
void EglWindow::AwaitConfigure(Ready ready) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        WaylandRoundtrip();
        if (configured_.done && ready()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

float EglWindow::Scale() const {
    if (preferred_scale_120_ != 0 && viewport_)
        return static_cast<float>(preferred_scale_120_) / 120;
    return static_cast<float>(integer_scale_);
}

void EglWindow::BufferSize(int32_t& width, int32_t& height) const {
    const float scale = Scale();
    width = static_cast<int32_t>(std::lround(static_cast<float>(logical_width_) * scale));
    height = static_cast<int32_t>(std::lround(static_cast<float>(logical_height_) * scale));
}

void EglWindow::Resize(int32_t width, int32_t height) {
    logical_width_ = width;
    logical_height_ = height;
    int32_t buffer_width = 0, buffer_height = 0;
    BufferSize(buffer_width, buffer_height);
    wl_egl_window_resize(egl_window_, buffer_width, buffer_height, 0, 0);
    if (viewport_) {
        wp_viewport_set_destination(viewport_, width, height);
    } else {
        wl_surface_set_buffer_scale(surface_, integer_scale_);
    }
    if (Wayland().input_surface == surface_) {
        SetInputSurface(surface_, static_cast<float>(buffer_width) / static_cast<float>(width));
    }
}

bool EglWindow::Open(const WindowRequest& request, int32_t& surface_width,
                     int32_t& surface_height) {
    WaylandConnection& c = Wayland();
    const EGLDisplay display = EglDisplay();
    eglBindAPI(EGL_OPENGL_API);
    const EGLConfig config = ChooseConfig(request.flags);
    if (!config) return false;
    const auto* shared = static_cast<const EglWindow*>(request.share);
    context_ =
        eglCreateContext(display, config, shared ? shared->context_ : EGL_NO_CONTEXT, nullptr);
    if (context_ == EGL_NO_CONTEXT) return false;
    if (request.kind == WindowKind::Hidden) {
        surface_width = surface_height = 100;
        return true;
    }

    width_ = request.width;
    height_ = request.height;
    const bool full_screen = request.kind == WindowKind::FullScreen;
    surface_ = wl_compositor_create_surface(c.compositor);
    xdg_surface_ = xdg_wm_base_get_xdg_surface(c.wm_base, surface_);
    xdg_surface_add_listener(xdg_surface_, &kSurfaceListener, this);
    toplevel_ = xdg_surface_get_toplevel(xdg_surface_);
    xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
    xdg_toplevel_set_title(toplevel_, AppTitleUtf8().c_str());
    xdg_toplevel_set_app_id(toplevel_, AppInstanceName().c_str());
    if (full_screen) {
        xdg_toplevel_set_fullscreen(toplevel_, nullptr);
    } else {
        xdg_toplevel_set_min_size(toplevel_, width_, height_);
        xdg_toplevel_set_max_size(toplevel_, width_, height_);
    }
    if (c.decorations) {
        decoration_ = zxdg_decoration_manager_v1_get_toplevel_decoration(c.decorations, toplevel_);
        zxdg_toplevel_decoration_v1_set_mode(decoration_,
                                             ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    if (c.viewporter) viewport_ = wp_viewporter_get_viewport(c.viewporter, surface_);
    if (c.fractional_scales && viewport_) {
        fractional_scale_ =
            wp_fractional_scale_manager_v1_get_fractional_scale(c.fractional_scales, surface_);
        wp_fractional_scale_v1_add_listener(fractional_scale_, &kFractionalScaleListener, this);
    }
    integer_scale_ = OutputScale();
    wl_surface_commit(surface_);
    AwaitConfigure([&] { return !full_screen || configured_.full_screen; });
    full_screen_ = full_screen && configured_.full_screen && configured_.width > 0;
    const int32_t width = full_screen_ ? configured_.width : width_;
    const int32_t height = full_screen_ ? configured_.height : height_;

    egl_window_ = wl_egl_window_create(surface_, width, height);
    egl_surface_ = eglCreatePlatformWindowSurface(display, config, egl_window_, nullptr);
    if (egl_surface_ == EGL_NO_SURFACE) return false;
    SetInputSurface(surface_, 1);
    Resize(width, height);
    eglMakeCurrent(display, egl_surface_, egl_surface_, context_);
    // A swap never waits for the compositor: a hidden window gets no frame callbacks, and the
    // program's timers keep the pace.
    eglSwapInterval(display, 0);
    // The first frame maps the window; the compositor then tells the scale it prefers for the
    // output the window is on, and the buffer takes it before the program draws.
    PresentBlack(egl_surface_);
    WaylandRoundtrip();
    WaylandRoundtrip();
    Resize(width, height);
    PresentBlack(egl_surface_);
    BufferSize(surface_width, surface_height);
    return true;
}

bool EglWindow::Select(const PlatformWindow*, bool remembered) {
    if (context_ == EGL_NO_CONTEXT || egl_surface_ == EGL_NO_SURFACE) return false;
    if (!remembered || eglGetCurrentContext() != context_) {
        eglMakeCurrent(EglDisplay(), egl_surface_, egl_surface_, context_);
    }
    return true;
}

bool EglWindow::ContextCurrent() const {
    return context_ != EGL_NO_CONTEXT && eglGetCurrentContext() == context_;
}

void EglWindow::SetSwapInterval(int32_t) {
    // Always 0: a swap that waits for a frame callback would block while the window is hidden.
}

void EglWindow::Swap() {
    if (egl_surface_ != EGL_NO_SURFACE) eglSwapBuffers(EglDisplay(), egl_surface_);
}

bool EglWindow::ForeignSize(int32_t&, int32_t&) {
    return false;
}

bool EglWindow::SetDesktopFullScreen(bool on, int32_t& surface_width, int32_t& surface_height) {
    if (!toplevel_ || full_screen_ == on) return toplevel_ != nullptr;
    if (on) {
        xdg_toplevel_set_min_size(toplevel_, 0, 0);
        xdg_toplevel_set_max_size(toplevel_, 0, 0);
        xdg_toplevel_set_fullscreen(toplevel_, nullptr);
    } else {
        xdg_toplevel_unset_fullscreen(toplevel_);
        xdg_toplevel_set_min_size(toplevel_, width_, height_);
        xdg_toplevel_set_max_size(toplevel_, width_, height_);
    }
    configured_.done = false;
    wl_surface_commit(surface_);
    AwaitConfigure([&] { return configured_.full_screen == on; });
    full_screen_ = on && configured_.full_screen && configured_.width > 0;
    Resize(full_screen_ ? configured_.width : width_, full_screen_ ? configured_.height : height_);
    BufferSize(surface_width, surface_height);
    return true;
}

void EglWindow::SetPointerView(int32_t x, int32_t y, float scale) {
    WaylandConnection& c = Wayland();
    if (!surface_ || c.input_surface != surface_) return;
    c.view_x = x;
    c.view_y = y;
    c.view_scale = scale > 0 ? scale : 1;
}

bool WaylandWindows::Ready() {
    const WaylandConnection& c = Wayland();
    return c.display && c.compositor && c.wm_base && EglDisplay() != EGL_NO_DISPLAY;
}

std::unique_ptr<PlatformWindow> WaylandWindows::Create(const WindowRequest& request,
                                                       int32_t& surface_width,
                                                       int32_t& surface_height) {
    if (!Ready()) return nullptr;
    auto window = std::make_unique<EglWindow>();
    if (!window->Open(request, surface_width, surface_height)) return nullptr;
    return window;
}

std::unique_ptr<PlatformWindow> WaylandWindows::Attach(uintptr_t, int32_t) {
    return nullptr;
}

void* WaylandWindows::GLProcAddress(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

}  // namespace vexel
