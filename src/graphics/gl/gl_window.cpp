#include "graphics/gl/internal/gl_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/startup.h"
#include "system/internal/x_glue.h"

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

int EnsureGLXReady() {
    NativeState& n = Native();
    if (n.display) return 0;
    Display* display = SystemDisplay();
    int major = 0, minor = 0;
    if (!display || !glXQueryVersion(display, &major, &minor)) return -1;
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
                           int32_t flags) {
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
    if (full_screen && !SwitchToFullScreenMode(n, width, height, hertz)) return nullptr;

    XVisualInfo* visual = ChooseGLXVisual(flags);
    if (!visual) {
        if (full_screen) RestoreDesktopMode(n);
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
        n.display, XCreateWindow(n.display, root, 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, visual->depth, InputOutput,
                                 visual->visual, value_mask, &attributes));
    const Window window = record->window.get();
    if (full_screen) {
        n.full_screen = true;
        record->kind = GLWindowKind::FullScreen;
    } else {
        Atom close = XInternAtom(n.display, "WM_DELETE_WINDOW", True);
        if (close != None) XSetWMProtocols(n.display, window, &close, 1);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
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
    }
    SetClass(n.display, window);
    SetTitle(n.display, window);
    PumpXEvents();

    record->width = width;
    record->height = height;
    record->depth = 24;
    record->hertz = hertz;
    record->flags = flags;
    record->sync = -1;
    if (!record->context) {
        CloseGLWindow(record);
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
