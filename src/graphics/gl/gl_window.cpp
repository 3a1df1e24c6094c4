#include "graphics/gl/internal/gl_window.h"

#include <GL/gl.h>

#include "graphics/graphics.h"
#include "platform/display.h"
#include "platform/platform.h"
#include "runtime/startup.h"
#include "system/internal/event_pump.h"

namespace vexel {

namespace {

struct NativeState {
    GLWindowPtr current;
    GLWindowPtr shared;
    GLWindowPtr last_selected;
    bool exit_handler_added = false;
};

// Never destroyed: records still held elsewhere may be closed during the process's exit.
NativeState& Native() {
    static NativeState* const state = new NativeState;
    return *state;
}

PlatformWindows& Windows() {
    return CurrentPlatform().Windows();
}

void RefreshAttachedGeometry(GLWindowRecord& record) {
    if (record.kind != GLWindowKind::Attached || EnsureGLReady() != 0) return;
    int32_t width = 0, height = 0;
    if (record.window->ForeignSize(width, height)) {
        record.width = record.surface_width = width;
        record.height = record.surface_height = height;
    }
}

// The software renderer takes the drawable's new size at the next swap; one black frame is
// presented so that the frames drawn from now on have the whole surface.
void PresentBlackFrame(PlatformWindow& window) {
    if (!window.ContextCurrent()) return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    window.Swap();
}

}  // namespace

int EnsureGLReady() {
    if (!Windows().Ready()) return -1;
    NativeState& n = Native();
    if (!n.exit_handler_added) {
        n.exit_handler_added = true;
        AddExitHandler(CloseAllGLWindows);
    }
    return 0;
}

GLWindowPtr CreateGLWindow(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags, int32_t scale) {
    if (EnsureGLReady() != 0) return nullptr;
    NativeState& n = Native();
    WindowRequest request;
    request.kind = width == 0 && height == 0 ? WindowKind::Hidden
                   : depth != 0              ? WindowKind::FullScreen
                                             : WindowKind::Window;
    request.width = width;
    request.height = height;
    request.hertz = hertz;
    request.flags = flags;
    request.scale = scale;
    if (request.kind != WindowKind::Hidden && n.shared) request.share = n.shared->window.get();
    auto record = std::make_shared<GLWindowRecord>();
    record->window = Windows().Create(request, record->surface_width, record->surface_height);
    PumpEvents();
    if (!record->window) return nullptr;
    record->kind =
        request.kind == WindowKind::FullScreen ? GLWindowKind::FullScreen : GLWindowKind::OwnWindow;
    record->width = request.kind == WindowKind::Hidden ? 100 : width;
    record->height = request.kind == WindowKind::Hidden ? 100 : height;
    record->depth = 24;
    record->hertz = hertz;
    record->flags = flags;
    record->sync = -1;
    return record;
}

GLWindowPtr AttachGLWindow(uintptr_t window, int32_t flags) {
    auto record = std::make_shared<GLWindowRecord>();
    record->kind = GLWindowKind::Attached;
    record->window = Windows().Attach(window, flags);
    // A platform without other programs' windows (Wayland) gives a closed record.
    if (!record->window) record->kind = GLWindowKind::Closed;
    record->flags = flags;
    return record;
}

void SelectGLWindow(const GLWindowPtr& record) {
    if (!record || record->kind == GLWindowKind::Closed) return;
    NativeState& n = Native();
    RefreshAttachedGeometry(*record);
    if (record->kind == GLWindowKind::Attached && !record->window->HasContext() &&
        EnsureGLReady() != 0) {
        return;
    }
    const PlatformWindow* share = n.shared ? n.shared->window.get() : nullptr;
    if (record->window->Select(share, record == n.current)) {
        n.current = record;
        n.last_selected = record;
    }
}

void SwapGLWindow(int32_t sync) {
    NativeState& n = Native();
    if (!n.current) return;
    const int32_t interval = sync != 0 ? 1 : 0;
    if (interval != n.current->sync) {
        n.current->sync = interval;
        n.current->window->SetSwapInterval(interval);
    }
    n.current->window->Swap();
    PumpEvents();
}

void GLWindowSettings(const GLWindowPtr& record, int32_t& width, int32_t& height, int32_t& depth,
                      int32_t& hertz, int32_t& flags) {
    width = height = depth = hertz = flags = 0;
    if (!record) return;
    RefreshAttachedGeometry(*record);
    width = record->width;
    height = record->height;
    depth = record->depth;
    hertz = record->hertz;
    flags = record->flags;
}

void GLWindowSurface(const GLWindowPtr& record, int32_t& width, int32_t& height) {
    width = height = 0;
    if (!record) return;
    RefreshAttachedGeometry(*record);
    width = record->surface_width;
    height = record->surface_height;
}

void CloseGLWindow(const GLWindowPtr& record) {
    if (!record || record->kind == GLWindowKind::Closed) return;
    NativeState& n = Native();
    if (record == n.current) n.current = nullptr;
    if (record == n.last_selected) n.last_selected = nullptr;
    record->kind = GLWindowKind::Closed;
    record->window.reset();
}

void CloseAllGLWindows() {
    NativeState& n = Native();
    CloseGLWindow(n.current);
    CloseGLWindow(n.shared);
    n.current = nullptr;
    n.shared = nullptr;
}

void EnsureSharedGLContext() {
    NativeState& n = Native();
    if (!n.shared) n.shared = CreateGLWindow(0, 0, 0, 0, 0);
}

GLWindowPtr CurrentGLWindow() {
    return Native().current;
}

bool SetGLWindowDesktopFullScreen(const GLWindowPtr& record, bool on) {
    if (!record || record->kind != GLWindowKind::OwnWindow || EnsureGLReady() != 0) {
        return false;
    }
    if (record->desktop_full_screen == on) return true;
    GLWindowRecord& r = *record;
    if (!r.window->SetDesktopFullScreen(on, r.surface_width, r.surface_height)) return false;
    r.desktop_full_screen = on;
    PresentBlackFrame(*r.window);
    const GraphicsView view = FitGraphicsView(r.width, r.height, r.surface_width, r.surface_height);
    r.window->SetPointerView(view.x, view.y, view.scale);
    PumpEvents();
    return true;
}

bool GLWindowDesktopFullScreen(const GLWindowPtr& record) {
    return record && record->desktop_full_screen;
}

void DesktopMonitorSize(int32_t& width, int32_t& height) {
    width = height = 0;
    if (EnsureGLReady() != 0) return;
    CurrentPlatform().Display().DesktopMonitorSize(width, height);
}

int32_t ListVideoModes(VideoMode* modes, int32_t capacity) {
    if (EnsureGLReady() != 0) return 0;
    return CurrentPlatform().Display().ListVideoModes(modes, capacity);
}

void* GLProcAddress(const char* name) {
    return Windows().GLProcAddress(name);
}

}  // namespace vexel
