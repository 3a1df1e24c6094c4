#include "x_test_support.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>
#include <vector>

#include "platform/x11/x11_connection.h"

namespace vexel::testing {

XInjector::XInjector() {
    OpenXGlue();
    display_ = XOpenDisplay(nullptr);
    if (!display_) throw std::runtime_error("cannot open the display for injection");
    int event_base, error_base, major, minor;
    if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
        throw std::runtime_error("the X server has no XTEST extension");
    }
}

XInjector::~XInjector() {
    if (display_) XCloseDisplay(display_);
}

unsigned int XInjector::KeycodeFor(unsigned long keysym) {
    const KeyCode existing = XKeysymToKeycode(display_, keysym);
    if (existing != 0) return existing;
    int min_code, max_code;
    XDisplayKeycodes(display_, &min_code, &max_code);
    int per_code = 0;
    KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(min_code),
                                      max_code - min_code + 1, &per_code);
    int spare = 0;
    for (int code = max_code; code >= min_code && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < per_code; ++i) {
            if (map[(code - min_code) * per_code + i] != NoSymbol) empty = false;
        }
        if (empty) spare = code;
    }
    XFree(map);
    if (!spare) throw std::runtime_error("no spare key code to map a symbol to");
    KeySym lower, upper;
    XConvertCase(keysym, &lower, &upper);
    KeySym symbols[2] = {lower, upper};
    XChangeKeyboardMapping(display_, spare, 2, symbols, 1);
    XSync(display_, False);
    return static_cast<unsigned int>(spare);
}

void XInjector::Key(unsigned long keysym, bool press) {
    XTestFakeKeyEvent(display_, KeycodeFor(keysym), press ? True : False, CurrentTime);
    XFlush(display_);
}

void XInjector::Tap(unsigned long keysym) {
    Key(keysym, true);
    Key(keysym, false);
}

void XInjector::Button(unsigned int button, bool press) {
    XTestFakeButtonEvent(display_, button, press ? True : False, CurrentTime);
    XFlush(display_);
}

void XInjector::Click(unsigned int button) {
    Button(button, true);
    Button(button, false);
}

void XInjector::MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XFlush(display_);
}

void XInjector::Sync() {
    XSync(display_, False);
    XSync(SystemDisplay(), False);
}

void XInjector::InternDesktopAtoms() {
    XInternAtom(display_, "_NET_WM_NAME", False);
    XInternAtom(display_, "UTF8_STRING", False);
    XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSync(display_, False);
}

void XInjector::RequestClose(Window window) {
    SendCloseRequest(display_, window);
}

void SendCloseRequest(Display* display, Window window) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &message);
    XSync(display, False);
}

std::string XInjector::Property(Window window, const char* name) {
    return WindowProperty(display_, window, XInternAtom(display_, name, False));
}

std::string WindowProperty(Display* display, Window window, Atom property) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        value.assign(reinterpret_cast<const char*>(data),
                     count * static_cast<unsigned>(format) / 8);
        XFree(data);
    }
    return value;
}

PlainInputWindow::PlainInputWindow() {
    Display* display = SystemDisplay();
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.event_mask = StructureNotifyMask;
    window_ = XCreateWindow(display, RootWindow(display, screen), 0, 0, 200, 200, 0, CopyFromParent,
                            InputOutput, CopyFromParent, CWEventMask, &attributes);
    XMapRaised(display, window_);
    XEvent event;
    XIfEvent(
        display, &event,
        [](Display*, XEvent* e, XPointer arg) -> Bool {
            return e->type == MapNotify && e->xmap.window == *reinterpret_cast<Window*>(arg);
        },
        reinterpret_cast<XPointer>(&window_));
    XSelectInput(display, window_,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | ResizeRedirectMask);
    XSetInputFocus(display, window_, RevertToParent, CurrentTime);
    Atom close = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window_, &close, 1);
    XSync(display, False);
    SetInputWindow(window_);
}

PlainInputWindow::~PlainInputWindow() {
    Display* display = SystemDisplay();
    SetInputWindow(0);
    XDestroyWindow(display, window_);
    XSync(display, False);
}

bool HaveDisplay() {
    return SystemDisplay() != nullptr;
}

}  // namespace vexel::testing
