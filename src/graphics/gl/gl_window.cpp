#include "graphics/gl/internal/gl_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "graphics/graphics.h"
#include "runtime/last_error.h"
#include "runtime/startup.h"
#include "system/internal/x_glue.h"
#include "system/timer.h"

namespace vexel {

namespace {

struct NativeState {
    Display* display = nullptr;
    int screen = 0;
    GLWindowPtr current;
    GLWindowPtr shared;
    GLWindowPtr last_selected;
    // The desktop's mode, saved when going full screen and switched back to at close.
    XF86VidModeModeInfo saved_mode{};
    XF86VidModeModeInfo** modes = nullptr;
    int mode_count = 0;
    bool full_screen = false;
    bool has_video_modes = false;
    // Set when the server refused the extension's switch and RandR made it: the extension
    // then keeps reporting the old mode, so the desktop is restored through RandR too.
    bool restore_with_randr = false;
    int randr_saved_width = 0, randr_saved_height = 0, randr_saved_rate = 0;
    Window last_window = 0;
    SwapIntervalFunction swap_interval = nullptr;
};

// Never destroyed: records still held elsewhere may be closed during the process's exit.
NativeState& Native() {
    static NativeState* const state = new NativeState;
    return *state;
}

}  // namespace

void DestroyGLXContext(Display* display, GLXContext context) {
    // Only this context is unbound: destroying another must not leave the selected one
    // without a context.
    if (glXGetCurrentContext() == context) glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
}

void DestroyXWindow(Display* display, Window window) {
    XDestroyWindow(display, window);
}

void FreeXColormap(Display* display, Colormap colormap) {
    XFreeColormap(display, colormap);
}

namespace {

Bool IsMapNotifyOf(Display*, XEvent* event, XPointer window) {
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<Window*>(window);
}

// The title goes out twice: as _NET_WM_NAME in UTF-8 for window managers with the extended
// hints, and as the plain WM_NAME for those without them, in Latin-1 (type STRING) when every
// character fits, else in UTF-8 (type UTF8_STRING, which such managers read as well).
void SetTitle(Display* display, Window window) {
    const String& text = AppTitle();
    const std::string title = ToUtf8(text);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const bool latin1 = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 256; });
    std::string plain;
    if (latin1) {
        for (const char16_t c : text)
            plain += static_cast<char>(c);
    }
    XChangeProperty(display, window, XA_WM_NAME, latin1 ? XA_STRING : utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1 ? plain.data() : title.data()),
                    static_cast<int>(latin1 ? plain.size() : title.size()));
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    XChangeProperty(display, window, name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    // Send it now: the window manager should not wait for our next request to see the title.
    XFlush(display);
}

// The window's class, by which desktops match it to the program's desktop entry (its
// StartupWMClass) for the icon in docks and task lists: the executable's file name as the
// instance name, and the same capitalised as the class ("morvelle", "Morvelle").
void SetClass(Display* display, Window window) {
    const String& file = AppFile();
    std::string name = ToUtf8(file.substr(file.rfind(u'/') + 1));
    if (name.empty()) name = "vexel";
    std::string class_name = name;
    if (class_name[0] >= 'a' && class_name[0] <= 'z') class_name[0] -= 'a' - 'A';
    XClassHint hint{name.data(), class_name.data()};
    XSetClassHint(display, window, &hint);
}

bool x_request_failed = false;

int NoteXError(Display*, XErrorEvent*) {
    x_request_failed = true;
    return 0;
}

// Runs `requests` and reports whether the server accepted them all, instead of letting
// Xlib's default handler end the process on a refused request.
template <typename Requests>
bool ServerAccepts(Display* display, Requests requests) {
    XSync(display, False);
    x_request_failed = false;
    const auto previous = XSetErrorHandler(NoteXError);
    requests();
    XSync(display, False);
    XSetErrorHandler(previous);
    return !x_request_failed;
}

// The rounded refresh rate of a RandR mode.
int RandRRate(const XRRModeInfo& mode) {
    const double total = static_cast<double>(mode.hTotal) * mode.vTotal;
    return total > 0 ? static_cast<int>(static_cast<double>(mode.dotClock) / total + 0.5) : 0;
}

// The mode of that size (at `hertz` when there is one) on the first active CRTC, with the
// screen resized to match, through RandR.
bool SwitchWithRandR(Display* display, int width, int height, int hertz) {
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 102) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    RRMode chosen = None;
    for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& mode = resources->modes[i];
        if (static_cast<int>(mode.width) != width || static_cast<int>(mode.height) != height) {
            continue;
        }
        if (chosen == None || RandRRate(mode) == hertz) chosen = mode.id;
        if (RandRRate(mode) == hertz) break;
    }
    bool switched = false;
    for (int c = 0; c < resources->ncrtc && chosen != None && !switched; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
        if (crtc && crtc->noutput > 0) {
            const int screen = DefaultScreen(display);
            const int width_mm = DisplayWidthMM(display, screen) * width /
                                 std::max(1, DisplayWidth(display, screen));
            const int height_mm = DisplayHeightMM(display, screen) * height /
                                  std::max(1, DisplayHeight(display, screen));
            switched = ServerAccepts(display, [&] {
                XGrabServer(display);
                XRRSetCrtcConfig(display, resources, resources->crtcs[c], CurrentTime, 0, 0, None,
                                 RR_Rotate_0, nullptr, 0);
                XRRSetScreenSize(display, root, width, height, std::max(1, width_mm),
                                 std::max(1, height_mm));
                XRRSetCrtcConfig(display, resources, resources->crtcs[c], CurrentTime, 0, 0, chosen,
                                 crtc->rotation, crtc->outputs, crtc->noutput);
                XUngrabServer(display);
            });
        }
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return switched;
}

// The size and rounded rate of the mode on the first active CRTC, through RandR.
bool CurrentRandRMode(Display* display, int& width, int& height, int& rate) {
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources) return false;
    bool found = false;
    for (int c = 0; c < resources->ncrtc && !found; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
        if (crtc && crtc->noutput > 0) {
            for (int i = 0; i < resources->nmode && !found; ++i) {
                if (resources->modes[i].id != crtc->mode) continue;
                width = static_cast<int>(resources->modes[i].width);
                height = static_cast<int>(resources->modes[i].height);
                rate = RandRRate(resources->modes[i]);
                found = true;
            }
        }
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return found;
}

// Switches to the full-screen `mode` with the video-mode extension. Servers whose drivers
// set modes through RandR (the dummy driver among them) refuse that request; the same size
// and rate is then set through RandR, and the desktop's mode is remembered in its terms.
bool SwitchToMode(NativeState& n, XF86VidModeModeInfo& mode) {
    n.restore_with_randr = false;
    if (ServerAccepts(n.display, [&] {
            XF86VidModeSwitchToMode(n.display, n.screen, &mode);
            XF86VidModeSetViewPort(n.display, n.screen, 0, 0);
        })) {
        return true;
    }
    if (!CurrentRandRMode(n.display, n.randr_saved_width, n.randr_saved_height,
                          n.randr_saved_rate)) {
        return false;
    }
    n.restore_with_randr =
        SwitchWithRandR(n.display, mode.hdisplay, mode.vdisplay, ModeRefreshRate(mode));
    return n.restore_with_randr;
}

void FreeModeList(NativeState& n) {
    if (n.modes) XFree(n.modes);
    n.modes = nullptr;
    n.mode_count = 0;
}

// Saves the desktop's mode and switches to the first mode of the size at `hertz`, else the
// first of the size at any rate. False (nothing switched) when there is no such mode.
bool SwitchToFullScreenMode(NativeState& n, int32_t width, int32_t height, int32_t hertz) {
    if (!n.has_video_modes) return false;
    int dot_clock = 0;
    XF86VidModeModeLine line{};
    XF86VidModeGetModeLine(n.display, n.screen, &dot_clock, &line);
    if (line.privsize > 0 && line.c_private) XFree(line.c_private);
    n.saved_mode = XF86VidModeModeInfo{static_cast<unsigned int>(dot_clock),
                                       line.hdisplay,
                                       line.hsyncstart,
                                       line.hsyncend,
                                       line.htotal,
                                       line.hskew,
                                       line.vdisplay,
                                       line.vsyncstart,
                                       line.vsyncend,
                                       line.vtotal,
                                       line.flags,
                                       0,
                                       nullptr};
    FreeModeList(n);
    XF86VidModeGetAllModeLines(n.display, n.screen, &n.mode_count, &n.modes);
    if (n.mode_count <= 0 || !n.modes) {
        FreeModeList(n);
        return false;
    }
    XF86VidModeModeInfo* chosen = nullptr;
    auto has_size = [&](const XF86VidModeModeInfo* mode) {
        return mode->hdisplay == width && mode->vdisplay == height;
    };
    for (int i = 0; i < n.mode_count && !chosen; ++i) {
        if (has_size(n.modes[i]) && ModeRefreshRate(*n.modes[i]) == hertz) chosen = n.modes[i];
    }
    for (int i = 0; i < n.mode_count && !chosen; ++i) {
        if (has_size(n.modes[i])) chosen = n.modes[i];
    }
    if (!chosen || !SwitchToMode(n, *chosen)) {
        FreeModeList(n);
        return false;
    }
    return true;
}

void RestoreDesktopMode(NativeState& n) {
    if (n.restore_with_randr) {
        SwitchWithRandR(n.display, n.randr_saved_width, n.randr_saved_height, n.randr_saved_rate);
        n.restore_with_randr = false;
    } else {
        ServerAccepts(n.display, [&] {
            XF86VidModeSwitchToMode(n.display, n.screen, &n.saved_mode);
            XF86VidModeSetViewPort(n.display, n.screen, 0, 0);
        });
    }
    XFlush(n.display);
    FreeModeList(n);
    n.full_screen = false;
}

}  // namespace

namespace {

// Why no window opened, named after the display it was to open on.
void RecordWindowFailure(std::u16string_view cause) {
    RecordFailure(u"CreateGraphicsContext", FromUtf8(XDisplayName(nullptr)), cause);
}

}  // namespace

int EnsureGLXReady() {
    NativeState& n = Native();
    if (n.display) return 0;
    Display* display = SystemDisplay();
    int major = 0, minor = 0;
    if (!display) {
        RecordWindowFailure(u"cannot connect to the X server (is DISPLAY right?)");
        return -1;
    }
    if (!glXQueryVersion(display, &major, &minor)) {
        RecordWindowFailure(u"the X server has no OpenGL (GLX) support");
        return -1;
    }
    n.display = display;
    // Asked first so that a server without the extension (Xvfb) leaves no complaint on
    // standard error; such a server has no modes and no full screen.
    int event_base = 0, error_base = 0;
    n.has_video_modes = XF86VidModeQueryExtension(display, &event_base, &error_base) &&
                        XF86VidModeQueryVersion(display, &major, &minor);
    n.screen = DefaultScreen(display);
    const char* extensions = glXQueryExtensionsString(display, n.screen);
    if (extensions && std::strstr(extensions, "GLX_SGI_swap_control")) {
        n.swap_interval = reinterpret_cast<SwapIntervalFunction>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
    }
    AddExitHandler(CloseAllGLWindows);
    return 0;
}

XVisualInfo* ChooseGLXVisual(int32_t flags) {
    NativeState& n = Native();
    int attributes[24];
    int count = 0;
    attributes[count++] = GLX_RGBA;
    if (flags & 2) attributes[count++] = GLX_DOUBLEBUFFER;
    auto at_least_one = [&](int attribute) {
        attributes[count++] = attribute;
        attributes[count++] = 1;
    };
    if (flags & 4) at_least_one(GLX_ALPHA_SIZE);
    if (flags & 8) at_least_one(GLX_DEPTH_SIZE);
    if (flags & 16) at_least_one(GLX_STENCIL_SIZE);
    if (flags & 32) {
        at_least_one(GLX_ACCUM_RED_SIZE);
        at_least_one(GLX_ACCUM_GREEN_SIZE);
        at_least_one(GLX_ACCUM_BLUE_SIZE);
        at_least_one(GLX_ACCUM_ALPHA_SIZE);
    }
    attributes[count] = None;
    return glXChooseVisual(n.display, n.screen, attributes);
}

GLWindowPtr CreateGLWindow(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags, int32_t scale) {
    if (EnsureGLXReady() != 0) return nullptr;
    NativeState& n = Native();
    const bool hidden = width == 0 && height == 0;
    const bool full_screen = !hidden && depth != 0;
    GLXContext share = nullptr;
    if (hidden) {
        width = height = 100;
    } else if (n.shared) {
        share = n.shared->context.get();
    }
    if (full_screen && !SwitchToFullScreenMode(n, width, height, hertz)) {
        RecordWindowFailure(u"no full-screen video mode of " + IntToString(width) + u"×" +
                            IntToString(height));
        return nullptr;
    }
    if (hidden || full_screen || scale < 1) scale = 1;
    const int32_t surface_width = width * scale;
    const int32_t surface_height = height * scale;

    XVisualInfo* visual = ChooseGLXVisual(flags);
    if (!visual) {
        if (full_screen) RestoreDesktopMode(n);
        RecordWindowFailure(u"no OpenGL visual has the buffers asked for");
        return nullptr;
    }
    auto record = std::make_shared<GLWindowRecord>();
    const Window root = RootWindow(n.display, n.screen);
    record->colormap =
        XColormapOwner(n.display, XCreateColormap(n.display, root, visual->visual, AllocNone));
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask;
    attributes.colormap = record->colormap.get();
    unsigned long value_mask = CWBorderPixel | CWEventMask | CWColormap;
    if (full_screen) {
        attributes.override_redirect = True;
        value_mask |= CWOverrideRedirect;
    }
    record->window = XWindowOwner(
        n.display, XCreateWindow(n.display, root, 0, 0, static_cast<unsigned>(surface_width),
                                 static_cast<unsigned>(surface_height), 0, visual->depth,
                                 InputOutput, visual->visual, value_mask, &attributes));
    const Window window = record->window.get();
    if (full_screen) {
        n.full_screen = true;
        record->kind = GLWindowKind::FullScreen;
    } else {
        Atom close = XInternAtom(n.display, "WM_DELETE_WINDOW", True);
        if (close != None) XSetWMProtocols(n.display, window, &close, 1);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = surface_width;
        hints->min_height = hints->max_height = surface_height;
        XSetWMNormalHints(n.display, window, hints);
        XFree(hints);
        record->kind = GLWindowKind::OwnWindow;
    }
    record->context = GLXContextOwner(n.display, glXCreateContext(n.display, visual, share, True));
    XFree(visual);

    if (!hidden) {
        XMapRaised(n.display, window);
        if (full_screen) {
            XWarpPointer(n.display, None, window, 0, 0, 0, 0, 0, 0);
            XGrabKeyboard(n.display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
            XGrabPointer(n.display, window, True, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                         window, None, CurrentTime);
        }
        glXMakeCurrent(n.display, window, record->context.get());
        XEvent mapped;
        Window mapped_window = window;
        XIfEvent(n.display, &mapped, IsMapNotifyOf, reinterpret_cast<XPointer>(&mapped_window));
        XSelectInput(n.display, window,
                     KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                         PointerMotionMask | ResizeRedirectMask);
        n.last_window = window;
        SetInputWindow(window);
        SetInputWindowView(0, 0, static_cast<float>(scale));
    }
    SetClass(n.display, window);
    SetTitle(n.display, window);
    PumpXEvents();

    record->width = width;
    record->height = height;
    record->surface_width = surface_width;
    record->surface_height = surface_height;
    record->depth = 24;
    record->hertz = hertz;
    record->flags = flags;
    record->sync = -1;
    if (!record->context) {
        CloseGLWindow(record);
        RecordWindowFailure(u"cannot create an OpenGL context");
        return nullptr;
    }
    return record;
}

GLWindowPtr AttachGLWindow(uintptr_t window, int32_t flags) {
    auto record = std::make_shared<GLWindowRecord>();
    record->kind = GLWindowKind::Attached;
    // Held like our own windows, but given up at close: it is never destroyed here.
    record->window = XWindowOwner(Native().display, static_cast<Window>(window));
    record->flags = flags;
    return record;
}

namespace {

void RefreshAttachedGeometry(GLWindowRecord& record) {
    if (record.kind != GLWindowKind::Attached || EnsureGLXReady() != 0) return;
    NativeState& n = Native();
    Window root;
    int x, y;
    unsigned int width, height, border, depth;
    if (XGetGeometry(n.display, record.window.get(), &root, &x, &y, &width, &height, &border,
                     &depth)) {
        record.width = static_cast<int32_t>(width);
        record.height = static_cast<int32_t>(height);
        record.surface_width = record.width;
        record.surface_height = record.height;
    }
}

}  // namespace

void SelectGLWindow(const GLWindowPtr& record) {
    if (!record || record->kind == GLWindowKind::Closed) return;
    NativeState& n = Native();
    RefreshAttachedGeometry(*record);
    if (!record->context && EnsureGLXReady() == 0) {
        XVisualInfo* visual = ChooseGLXVisual(record->flags);
        if (!visual) return;
        record->context = GLXContextOwner(
            n.display, glXCreateContext(n.display, visual,
                                        n.shared ? n.shared->context.get() : nullptr, True));
        XFree(visual);
        if (!record->context) return;
        glXMakeCurrent(n.display, record->window.get(), record->context.get());
        SetInputWindow(record->window.get());
        SetInputWindowView(0, 0, 1);
    }
    // Making another record's context (CreateGLWindow does) leaves the remembered current
    // record stale, so GL's own answer is asked as well.
    if (record->context &&
        (record != n.current || glXGetCurrentContext() != record->context.get())) {
        glXMakeCurrent(n.display, record->window.get(), record->context.get());
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
        if (n.swap_interval) n.swap_interval(interval);
    }
    glXSwapBuffers(n.display, n.current->window.get());
    PumpXEvents();
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

void CloseGLWindow(const GLWindowPtr& record) {
    if (!record || record->kind == GLWindowKind::Closed) return;
    NativeState& n = Native();
    if (record == n.current) n.current = nullptr;
    if (record == n.last_selected) n.last_selected = nullptr;
    const GLWindowKind kind = record->kind;
    record->kind = GLWindowKind::Closed;
    record->context.reset();
    if (kind == GLWindowKind::Attached) {
        record->window.release();  // a foreign window is never destroyed
        return;
    }
    if (record->window && record->window.get() == InputWindow()) SetInputWindow(0);
    record->window.reset();
    record->colormap.reset();
    if (kind == GLWindowKind::FullScreen) RestoreDesktopMode(n);
    XFlush(n.display);
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

int32_t ListVideoModes(VideoMode* modes, int32_t capacity) {
    if (EnsureGLXReady() != 0) return 0;
    NativeState& n = Native();
    if (!n.has_video_modes) return 0;
    int count = 0;
    XF86VidModeModeInfo** list = nullptr;
    if (!XF86VidModeGetAllModeLines(n.display, n.screen, &count, &list) || !list) return 0;
    count = std::min(count, capacity);
    for (int i = 0; i < count; ++i) {
        modes[i] = VideoMode{list[i]->hdisplay, list[i]->vdisplay, 24, ModeRefreshRate(*list[i])};
    }
    XFree(list);
    return count;
}

int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode) {
    const double total = static_cast<double>(mode.htotal) * mode.vtotal;
    if (total <= 0) return 0;
    int32_t rate = static_cast<int32_t>(static_cast<double>(mode.dotclock) * 1000.0 / total + 0.5);
    if (mode.flags & 0x10) rate *= 2;
    if (mode.flags & 0x20) rate >>= 1;
    return rate;
}

void GLWindowSurface(const GLWindowPtr& record, int32_t& width, int32_t& height) {
    width = height = 0;
    if (!record) return;
    RefreshAttachedGeometry(*record);
    width = record->surface_width;
    height = record->surface_height;
}

namespace {

struct MonitorRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The monitor holding the point (x, y) of the root window, or with `any_point` false the
// primary one; the first when none matches, the whole screen without RandR monitors.
MonitorRect MonitorAt(NativeState& n, int x, int y, bool any_point) {
    MonitorRect rect{0, 0, DisplayWidth(n.display, n.screen), DisplayHeight(n.display, n.screen)};
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(n.display, &event_base, &error_base) ||
        !XRRQueryVersion(n.display, &major, &minor) || major * 100 + minor < 105) {
        return rect;
    }
    int count = 0;
    XRRMonitorInfo* monitors =
        XRRGetMonitors(n.display, RootWindow(n.display, n.screen), True, &count);
    if (!monitors) return rect;
    int chosen = count > 0 ? 0 : -1;
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        const bool holds = x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height;
        if (any_point ? holds : m.primary != 0) {
            chosen = i;
            break;
        }
    }
    if (chosen >= 0 && monitors[chosen].width > 0 && monitors[chosen].height > 0) {
        const XRRMonitorInfo& m = monitors[chosen];
        rect = MonitorRect{m.x, m.y, m.width, m.height};
    }
    XRRFreeMonitors(monitors);
    return rect;
}

// A window manager that follows the extended hints has set _NET_SUPPORTING_WM_CHECK on the
// root window to a window of its own carrying the same property.
bool WindowManagerRuns(NativeState& n) {
    const Atom check = XInternAtom(n.display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    const auto read_window = [&](Window of, Window& found) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool ok = XGetWindowProperty(n.display, of, check, 0, 1, False, XA_WINDOW, &type,
                                           &format, &count, &after, &data) == Success &&
                        type == XA_WINDOW && format == 32 && count == 1 && data;
        if (ok) found = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
        if (data) XFree(data);
        return ok;
    };
    Window child = None, self = None;
    if (!read_window(RootWindow(n.display, n.screen), child)) return false;
    bool confirmed = false;
    // The window may be gone with its manager; asking it must not end the process.
    ServerAccepts(n.display, [&] { confirmed = read_window(child, self) && self == child; });
    return confirmed;
}

// The window's top-left corner on the root window.
void WindowPlace(NativeState& n, Window window, int& x, int& y) {
    Window child = None;
    x = y = 0;
    XTranslateCoordinates(n.display, window, RootWindow(n.display, n.screen), 0, 0, &x, &y, &child);
}

void SetFixedSize(NativeState& n, Window window, int32_t width, int32_t height, bool fixed) {
    XSizeHints* hints = XAllocSizeHints();
    if (fixed) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    XSetWMNormalHints(n.display, window, hints);
    XFree(hints);
}

// Asks the window manager to add or remove the full-screen state.
void SendFullScreenState(NativeState& n, Window window, bool on) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(n.display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0;  // add or remove
    event.xclient.data.l[1] =
        static_cast<long>(XInternAtom(n.display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;  // asked by an application
    XSendEvent(n.display, RootWindow(n.display, n.screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Waits up to a second for a window manager to give the window the size; the surface is
// whatever size the window has then.
void AwaitSize(NativeState& n, GLWindowRecord& record, int32_t width, int32_t height) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        XSync(n.display, False);
        Window root;
        int x, y;
        unsigned int w = 0, h = 0, border, depth;
        XGetGeometry(n.display, record.window.get(), &root, &x, &y, &w, &h, &border, &depth);
        record.surface_width = static_cast<int32_t>(w);
        record.surface_height = static_cast<int32_t>(h);
        if (record.surface_width == width && record.surface_height == height) return;
        SleepMillis(10);
    }
}

constexpr long kInputMask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | ResizeRedirectMask;

void MapAsOverride(NativeState& n, Window window, bool override_redirect, const MonitorRect& at) {
    XUnmapWindow(n.display, window);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = override_redirect ? True : False;
    XChangeWindowAttributes(n.display, window, CWOverrideRedirect, &attributes);
    XMoveResizeWindow(n.display, window, at.x, at.y, static_cast<unsigned>(at.width),
                      static_cast<unsigned>(at.height));
    XMapRaised(n.display, window);
    XSync(n.display, False);
}

}  // namespace

bool SetGLWindowDesktopFullScreen(const GLWindowPtr& record, bool on) {
    if (!record || record->kind != GLWindowKind::OwnWindow || EnsureGLXReady() != 0) {
        return false;
    }
    if (record->desktop_full_screen == on) return true;
    NativeState& n = Native();
    const Window window = record->window.get();
    GLWindowRecord& r = *record;
    if (on) {
        r.windowed_surface_width = r.surface_width;
        r.windowed_surface_height = r.surface_height;
        WindowPlace(n, window, r.windowed_x, r.windowed_y);
        const MonitorRect monitor = MonitorAt(n, r.windowed_x + r.surface_width / 2,
                                              r.windowed_y + r.surface_height / 2, true);
        r.override_full_screen = !WindowManagerRuns(n);
        if (r.override_full_screen) {
            MapAsOverride(n, window, true, monitor);
            XSetInputFocus(n.display, window, RevertToPointerRoot, CurrentTime);
            r.surface_width = monitor.width;
            r.surface_height = monitor.height;
        } else {
            // The manager resizes the window itself, which the fixed size and the redirect of
            // resizes to us would refuse.
            XSelectInput(n.display, window, kInputMask & ~ResizeRedirectMask);
            SetFixedSize(n, window, 0, 0, false);
            SendFullScreenState(n, window, true);
            AwaitSize(n, r, monitor.width, monitor.height);
        }
    } else {
        if (r.override_full_screen) {
            MapAsOverride(n, window, false,
                          MonitorRect{r.windowed_x, r.windowed_y, r.windowed_surface_width,
                                      r.windowed_surface_height});
            r.surface_width = r.windowed_surface_width;
            r.surface_height = r.windowed_surface_height;
        } else {
            SendFullScreenState(n, window, false);
            XResizeWindow(n.display, window, static_cast<unsigned>(r.windowed_surface_width),
                          static_cast<unsigned>(r.windowed_surface_height));
            AwaitSize(n, r, r.windowed_surface_width, r.windowed_surface_height);
            SetFixedSize(n, window, r.windowed_surface_width, r.windowed_surface_height, true);
            XSelectInput(n.display, window, kInputMask);
        }
        r.override_full_screen = false;
    }
    r.desktop_full_screen = on;
    // The software renderer takes the drawable's new size at the next swap; one black frame
    // is presented so that the frames drawn from now on have the whole surface.
    if (glXGetCurrentContext() == r.context.get()) {
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glPopAttrib();
        glXSwapBuffers(n.display, window);
    }
    if (window == InputWindow()) {
        const GraphicsView view =
            FitGraphicsView(r.width, r.height, r.surface_width, r.surface_height);
        SetInputWindowView(view.x, view.y, view.scale);
    }
    PumpXEvents();
    return true;
}

bool GLWindowDesktopFullScreen(const GLWindowPtr& record) {
    return record && record->desktop_full_screen;
}

void DesktopMonitorSize(int32_t& width, int32_t& height) {
    width = height = 0;
    if (EnsureGLXReady() != 0) return;
    const MonitorRect monitor = MonitorAt(Native(), 0, 0, false);
    width = monitor.width;
    height = monitor.height;
}

GLWindowPtr CurrentGLWindow() {
    return Native().current;
}

SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function) {
    EnsureGLXReady();
    SwapIntervalFunction previous = Native().swap_interval;
    Native().swap_interval = function;
    return previous;
}

}  // namespace vexel
