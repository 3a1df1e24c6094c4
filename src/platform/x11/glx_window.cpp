#include "platform/x11/glx_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/app_identity.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_video_modes.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

struct GlxState {
    Display* display = nullptr;
    int screen = 0;
    SwapIntervalFunction swap_interval = nullptr;
};

// Never destroyed: windows still held elsewhere may be closed during the process's exit.
GlxState& Glx() {
    static GlxState* const state = new GlxState;
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
    std::string name = AppInstanceName();
    std::string class_name = name;
    if (class_name[0] >= 'a' && class_name[0] <= 'z') class_name[0] -= 'a' - 'A';
    XClassHint hint{name.data(), class_name.data()};
    XSetClassHint(display, window, &hint);
}

}  // namespace

bool GlxReady() {
    GlxState& n = Glx();
    if (n.display) return true;
    Display* display = SystemDisplay();
    int major = 0, minor = 0;
    if (!display || !glXQueryVersion(display, &major, &minor)) return false;
    n.display = display;
    InitVideoModes(display);
    n.screen = DefaultScreen(display);
    const char* extensions = glXQueryExtensionsString(display, n.screen);
    if (extensions && std::strstr(extensions, "GLX_SGI_swap_control")) {
        n.swap_interval = reinterpret_cast<SwapIntervalFunction>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
    }
    return true;
}

Display* GlxDisplay() {
    return Glx().display;
}

XVisualInfo* ChooseGLXVisual(int32_t flags) {
    GlxState& n = Glx();
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

SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function) {
    GlxReady();
    SwapIntervalFunction previous = Glx().swap_interval;
    Glx().swap_interval = function;
    return previous;
}

GlxWindow::~GlxWindow() {
    context_.reset();
    if (kind_ == Kind::Attached) {
        window_.release();  // another program's window is never destroyed
        return;
    }
    if (window_ && window_.get() == InputWindow()) SetInputWindow(0);
    window_.reset();
    colormap_.reset();
    if (kind_ == Kind::FullScreen) RestoreDesktopMode();
    XFlush(Glx().display);
}

bool GlxWindow::Select(const PlatformWindow* share, bool remembered) {
    GlxState& n = Glx();
    if (!context_ && GlxReady()) {
        XVisualInfo* visual = ChooseGLXVisual(flags_);
        if (!visual) return false;
        const auto* shared = static_cast<const GlxWindow*>(share);
        context_ = GLXContextOwner(
            n.display,
            glXCreateContext(n.display, visual, shared ? shared->Context() : nullptr, True));
        XFree(visual);
        if (!context_) return false;
        glXMakeCurrent(n.display, window_.get(), context_.get());
        SetInputWindow(window_.get());
        SetInputWindowView(0, 0, 1);
    }
    if (!context_) return false;
    if (!remembered || glXGetCurrentContext() != context_.get()) {
        glXMakeCurrent(n.display, window_.get(), context_.get());
    }
    return true;
}

bool GlxWindow::ContextCurrent() const {
    return context_ && glXGetCurrentContext() == context_.get();
}

void GlxWindow::SetSwapInterval(int32_t interval) {
    if (Glx().swap_interval) Glx().swap_interval(interval);
}

void GlxWindow::Swap() {
    glXSwapBuffers(Glx().display, window_.get());
}

bool GlxWindow::ForeignSize(int32_t& width, int32_t& height) {
    if (kind_ != Kind::Attached || !GlxReady()) return false;
    Window root;
    int x, y;
    unsigned int w, h, border, depth;
    if (!XGetGeometry(Glx().display, window_.get(), &root, &x, &y, &w, &h, &border, &depth)) {
        return false;
    }
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

bool GlxWindow::SetDesktopFullScreen(bool on, int32_t& surface_width, int32_t& surface_height) {
    if (kind_ != Kind::Own || !GlxReady()) return false;
    vexel::SetDesktopFullScreen(Glx().display, window_.get(), full_screen_, on, surface_width,
                                surface_height);
    return true;
}

void GlxWindow::SetPointerView(int32_t x, int32_t y, float scale) {
    if (window_ && window_.get() == InputWindow()) SetInputWindowView(x, y, scale);
}

std::unique_ptr<PlatformWindow> X11Windows::Create(const WindowRequest& request,
                                                   int32_t& surface_width,
                                                   int32_t& surface_height) {
    if (!GlxReady()) return nullptr;
    GlxState& n = Glx();
    const bool hidden = request.kind == WindowKind::Hidden;
    const bool full_screen = request.kind == WindowKind::FullScreen;
    const int32_t width = hidden ? 100 : request.width;
    const int32_t height = hidden ? 100 : request.height;
    const auto* shared = static_cast<const GlxWindow*>(request.share);
    const GLXContext share = shared ? shared->Context() : nullptr;
    if (full_screen && !SwitchToFullScreenMode(width, height, request.hertz)) return nullptr;
    const int32_t scale = hidden || full_screen || request.scale < 1 ? 1 : request.scale;
    surface_width = width * scale;
    surface_height = height * scale;

    XVisualInfo* visual = ChooseGLXVisual(request.flags);
    if (!visual) {
        if (full_screen) RestoreDesktopMode();
        return nullptr;
    }
    auto record = std::make_unique<GlxWindow>(
        full_screen ? GlxWindow::Kind::FullScreen : GlxWindow::Kind::Own, request.flags);
    const Window root = RootWindow(n.display, n.screen);
    record->colormap_ =
        XColormapOwner(n.display, XCreateColormap(n.display, root, visual->visual, AllocNone));
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask;
    attributes.colormap = record->colormap_.get();
    unsigned long value_mask = CWBorderPixel | CWEventMask | CWColormap;
    if (full_screen) {
        attributes.override_redirect = True;
        value_mask |= CWOverrideRedirect;
    }
    record->window_ = XWindowOwner(
        n.display, XCreateWindow(n.display, root, 0, 0, static_cast<unsigned>(surface_width),
                                 static_cast<unsigned>(surface_height), 0, visual->depth,
                                 InputOutput, visual->visual, value_mask, &attributes));
    const Window window = record->window_.get();
    if (!full_screen) {
        Atom close = XInternAtom(n.display, "WM_DELETE_WINDOW", True);
        if (close != None) XSetWMProtocols(n.display, window, &close, 1);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = surface_width;
        hints->min_height = hints->max_height = surface_height;
        XSetWMNormalHints(n.display, window, hints);
        XFree(hints);
    }
    record->context_ = GLXContextOwner(n.display, glXCreateContext(n.display, visual, share, True));
    XFree(visual);

    if (!hidden) {
        XMapRaised(n.display, window);
        if (full_screen) {
            XWarpPointer(n.display, None, window, 0, 0, 0, 0, 0, 0);
            XGrabKeyboard(n.display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
            XGrabPointer(n.display, window, True, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                         window, None, CurrentTime);
        }
        glXMakeCurrent(n.display, window, record->context_.get());
        XEvent mapped;
        Window mapped_window = window;
        XIfEvent(n.display, &mapped, IsMapNotifyOf, reinterpret_cast<XPointer>(&mapped_window));
        XSelectInput(n.display, window, kWindowInputMask);
        SetInputWindow(window);
        SetInputWindowView(0, 0, static_cast<float>(scale));
    }
    SetClass(n.display, window);
    SetTitle(n.display, window);
    if (!record->context_) return nullptr;
    return record;
}

std::unique_ptr<PlatformWindow> X11Windows::Attach(uintptr_t native, int32_t flags) {
    auto record = std::make_unique<GlxWindow>(GlxWindow::Kind::Attached, flags);
    record->window_ = XWindowOwner(Glx().display, static_cast<Window>(native));
    return record;
}

void* X11Windows::GLProcAddress(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

}  // namespace vexel
