#include "platform/x11/x11_desktop_full_screen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <chrono>
#include <thread>

#include "platform/x11/x11_connection.h"

namespace vexel {

namespace {

// A window manager that follows the extended hints has set _NET_SUPPORTING_WM_CHECK on the
// root window to a window of its own carrying the same property.
bool WindowManagerRuns(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    const auto read_window = [&](Window of, Window& found) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool ok = XGetWindowProperty(display, of, check, 0, 1, False, XA_WINDOW, &type,
                                           &format, &count, &after, &data) == Success &&
                        type == XA_WINDOW && format == 32 && count == 1 && data;
        if (ok) found = static_cast<Window>(*reinterpret_cast<unsigned long*>(data));
        if (data) XFree(data);
        return ok;
    };
    Window child = None, self = None;
    if (!read_window(RootWindow(display, DefaultScreen(display)), child)) return false;
    bool confirmed = false;
    // The window may be gone with its manager; asking it must not end the process.
    ServerAccepts(display, [&] { confirmed = read_window(child, self) && self == child; });
    return confirmed;
}

// The window's top-left corner on the root window.
void WindowPlace(Display* display, Window window, int& x, int& y) {
    Window child = None;
    x = y = 0;
    XTranslateCoordinates(display, window, RootWindow(display, DefaultScreen(display)), 0, 0, &x,
                          &y, &child);
}

void SetFixedSize(Display* display, Window window, int32_t width, int32_t height, bool fixed) {
    XSizeHints* hints = XAllocSizeHints();
    if (fixed) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

// Asks the window manager to add or remove the full-screen state.
void SendFullScreenState(Display* display, Window window, bool on) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = on ? 1 : 0;  // add or remove
    event.xclient.data.l[1] =
        static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;  // asked by an application
    XSendEvent(display, RootWindow(display, DefaultScreen(display)), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Waits up to a second for a window manager to give the window the size; the surface is
// whatever size the window has then.
void AwaitSize(Display* display, Window window, int32_t width, int32_t height,
               int32_t& surface_width, int32_t& surface_height) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        XSync(display, False);
        Window root;
        int x, y;
        unsigned int w = 0, h = 0, border, depth;
        XGetGeometry(display, window, &root, &x, &y, &w, &h, &border, &depth);
        surface_width = static_cast<int32_t>(w);
        surface_height = static_cast<int32_t>(h);
        if (surface_width == width && surface_height == height) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void MapAsOverride(Display* display, Window window, bool override_redirect, const MonitorRect& at) {
    XUnmapWindow(display, window);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = override_redirect ? True : False;
    XChangeWindowAttributes(display, window, CWOverrideRedirect, &attributes);
    XMoveResizeWindow(display, window, at.x, at.y, static_cast<unsigned>(at.width),
                      static_cast<unsigned>(at.height));
    XMapRaised(display, window);
    XSync(display, False);
}

}  // namespace

// The monitor holding the point (x, y) of the root window, or with `any_point` false the
// primary one; the first when none matches, the whole screen without RandR monitors.
MonitorRect MonitorAt(Display* display, int x, int y, bool any_point) {
    MonitorRect rect{0, 0, DisplayWidth(display, DefaultScreen(display)),
                     DisplayHeight(display, DefaultScreen(display))};
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) {
        return rect;
    }
    int count = 0;
    XRRMonitorInfo* monitors =
        XRRGetMonitors(display, RootWindow(display, DefaultScreen(display)), True, &count);
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

void SetDesktopFullScreen(Display* display, Window window, DesktopFullScreen& state, bool on,
                          int32_t& surface_width, int32_t& surface_height) {
    DesktopFullScreen& r = state;
    if (on) {
        r.windowed_width = surface_width;
        r.windowed_height = surface_height;
        WindowPlace(display, window, r.windowed_x, r.windowed_y);
        const MonitorRect monitor = MonitorAt(display, r.windowed_x + surface_width / 2,
                                              r.windowed_y + surface_height / 2, true);
        r.override_redirect = !WindowManagerRuns(display);
        if (r.override_redirect) {
            MapAsOverride(display, window, true, monitor);
            XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
            surface_width = monitor.width;
            surface_height = monitor.height;
        } else {
            // The manager resizes the window itself, which the fixed size and the redirect of
            // resizes to us would refuse.
            XSelectInput(display, window, kWindowInputMask & ~ResizeRedirectMask);
            SetFixedSize(display, window, 0, 0, false);
            SendFullScreenState(display, window, true);
            AwaitSize(display, window, monitor.width, monitor.height, surface_width,
                      surface_height);
        }
    } else {
        if (r.override_redirect) {
            MapAsOverride(
                display, window, false,
                MonitorRect{r.windowed_x, r.windowed_y, r.windowed_width, r.windowed_height});
            surface_width = r.windowed_width;
            surface_height = r.windowed_height;
        } else {
            SendFullScreenState(display, window, false);
            XResizeWindow(display, window, static_cast<unsigned>(r.windowed_width),
                          static_cast<unsigned>(r.windowed_height));
            AwaitSize(display, window, r.windowed_width, r.windowed_height, surface_width,
                      surface_height);
            SetFixedSize(display, window, r.windowed_width, r.windowed_height, true);
            XSelectInput(display, window, kWindowInputMask);
        }
        r.override_redirect = false;
    }
    r.on = on;
}

}  // namespace vexel
