#include "platform/x11/x11_connection.h"

#include <X11/Xutil.h>
#include <sys/select.h>

#include <cmath>

namespace vexel {

namespace {

struct XGlue {
    Display* display = nullptr;
    int display_fd = -1;
    Window input_window = 0;
    // Where the program's picture sits in the input window: positions are reported and
    // warped in the picture's own units.
    int32_t view_x = 0, view_y = 0;
    float view_scale = 1;
    Cursor blank_cursor = 0;
};

// Records still held elsewhere may be closed during the process's exit, so the glue is made
// once and never destroyed.
XGlue& Glue() {
    static XGlue* const glue = new XGlue;
    return *glue;
}

// A window pixel in the view's units, truncated toward zero.
int32_t ToView(int32_t pixel, int32_t offset, float scale) {
    if (offset == 0 && scale == 1) return pixel;
    return static_cast<int32_t>(static_cast<float>(pixel - offset) / scale);
}

// An event at the pointer position (x, y) of the window, given in the view's units.
void EmitPointerEvent(InputSink sink, InputEvent event, int32_t data, int32_t x, int32_t y) {
    const XGlue& glue = Glue();
    sink(event, data, ToView(x, glue.view_x, glue.view_scale),
         ToView(y, glue.view_y, glue.view_scale));
}

// Every byte XLookupString yields is one typed character. The bytes are Latin-1, so 128-255
// are delivered as those character codes (a typed "ü" is 252), never as negative numbers.
void EmitTypedCharacters(InputSink sink, XKeyEvent& key) {
    char buffer[15];
    const int count = XLookupString(&key, buffer, sizeof buffer, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        sink(InputEvent::Character, static_cast<unsigned char>(buffer[i]), 0, 0);
    }
}

int32_t KeyCodeOf(XKeyEvent& key) {
    return KeyCodeForKeysym(XLookupKeysym(&key, 0));
}

// Buttons 1-3 are left, right, middle in the framework's numbering; 0 for every other.
int32_t ButtonNumber(unsigned int x_button) {
    switch (x_button) {
        case 1:
            return 1;
        case 2:
            return 3;
        case 3:
            return 2;
        default:
            return 0;
    }
}

void TranslateEvent(InputSink sink, Display* display, XEvent& event) {
    switch (event.type) {
        case KeyPress:
            EmitPointerEvent(sink, InputEvent::KeyDown, KeyCodeOf(event.xkey), event.xkey.x,
                             event.xkey.y);
            EmitTypedCharacters(sink, event.xkey);
            break;
        case KeyRelease: {
            // A release directly followed by a press of the same key is the server's
            // auto-repeat: one KeyRepeat instead of an up and a down.
            if (XPending(display) > 0) {
                XEvent next;
                XPeekEvent(display, &next);
                if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode) {
                    XNextEvent(display, &next);
                    EmitPointerEvent(sink, InputEvent::KeyRepeat, KeyCodeOf(event.xkey),
                                     event.xkey.x, event.xkey.y);
                    EmitTypedCharacters(sink, event.xkey);
                    break;
                }
            }
            EmitPointerEvent(sink, InputEvent::KeyUp, KeyCodeOf(event.xkey), event.xkey.x,
                             event.xkey.y);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == 4 || event.xbutton.button == 5) {
                EmitPointerEvent(sink, InputEvent::MouseWheel, event.xbutton.button == 4 ? 1 : -1,
                                 event.xbutton.x, event.xbutton.y);
            } else if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitPointerEvent(sink, InputEvent::MouseDown, button, event.xbutton.x,
                                 event.xbutton.y);
            }
            break;
        case ButtonRelease:
            if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitPointerEvent(sink, InputEvent::MouseUp, button, event.xbutton.x,
                                 event.xbutton.y);
            }
            break;
        case MotionNotify:
            EmitPointerEvent(sink, InputEvent::MouseMove, 0, event.xmotion.x, event.xmotion.y);
            break;
        case ClientMessage: {
            const Atom close = DeleteWindowAtom();
            if (close != 0 && static_cast<Atom>(event.xclient.data.l[0]) == close) {
                sink(InputEvent::CloseRequest, 0, 0, 0);
            }
            break;
        }
        case MappingNotify:
            // Keep the key tables XLookupString uses in step with the server's layout.
            XRefreshKeyboardMapping(&event.xmapping);
            break;
        default:
            break;
    }
}

}  // namespace

void OpenXGlue() {
    static const bool opened = [] {
        XGlue& glue = Glue();
        XInitThreads();
        glue.display = XOpenDisplay(nullptr);
        if (glue.display) glue.display_fd = ConnectionNumber(glue.display);
        return true;
    }();
    (void)opened;
}

Display* SystemDisplay() {
    OpenXGlue();
    return Glue().display;
}

void SetInputWindow(Window window) {
    Glue().input_window = window;
}
Window InputWindow() {
    return Glue().input_window;
}

void X11Input::Pump(InputSink sink) {
    OpenXGlue();
    Display* display = Glue().display;
    if (!display) return;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        TranslateEvent(sink, display, event);
    }
}

void X11Input::Wait(int wake_fd, int timeout_ms) {
    OpenXGlue();
    XGlue& glue = Glue();
    // Events Xlib has already read off the socket would not wake select.
    if (glue.display && XQLength(glue.display) > 0) return;
    if (wake_fd < 0) return;
    fd_set readable;
    FD_ZERO(&readable);
    int highest = -1;
    for (const int fd : {wake_fd, glue.display_fd}) {
        if (fd < 0) continue;
        FD_SET(fd, &readable);
        if (fd > highest) highest = fd;
    }
    timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    select(highest + 1, &readable, nullptr, nullptr, &timeout);
}

void X11Input::WarpPointer(int32_t x, int32_t y) {
    XGlue& glue = Glue();
    if (!glue.display || !glue.input_window) return;
    // Rounded up, so that the pixel warped to maps back to the asked position.
    const auto to_pixel = [](int32_t value, int32_t offset, float scale) {
        if (offset == 0 && scale == 1) return value;
        return offset + static_cast<int32_t>(std::ceil(static_cast<float>(value) * scale));
    };
    XWarpPointer(glue.display, None, glue.input_window, 0, 0, 0, 0,
                 to_pixel(x, glue.view_x, glue.view_scale),
                 to_pixel(y, glue.view_y, glue.view_scale));
}

void SetInputWindowView(int32_t x, int32_t y, float scale) {
    XGlue& glue = Glue();
    glue.view_x = x;
    glue.view_y = y;
    glue.view_scale = scale > 0 ? scale : 1;
}

void X11Input::SetCursorVisible(bool visible) {
    XGlue& glue = Glue();
    if (!glue.display || !glue.input_window) return;
    if (visible) {
        XUndefineCursor(glue.display, glue.input_window);
        return;
    }
    if (!glue.blank_cursor) {
        static const char kNoBits[8] = {};
        const Pixmap bitmap = XCreateBitmapFromData(glue.display, glue.input_window, kNoBits, 8, 8);
        XColor black{};
        black.flags = DoRed | DoGreen | DoBlue;
        glue.blank_cursor = XCreatePixmapCursor(glue.display, bitmap, bitmap, &black, &black, 0, 0);
        XFreePixmap(glue.display, bitmap);
    }
    XDefineCursor(glue.display, glue.input_window, glue.blank_cursor);
}

namespace {

bool x_request_failed = false;

int NoteXError(Display*, XErrorEvent*) {
    x_request_failed = true;
    return 0;
}

}  // namespace

bool ServerAccepts(Display* display, const std::function<void()>& requests) {
    XSync(display, False);
    x_request_failed = false;
    const auto previous = XSetErrorHandler(NoteXError);
    requests();
    XSync(display, False);
    XSetErrorHandler(previous);
    return !x_request_failed;
}

Atom DeleteWindowAtom() {
    Display* display = SystemDisplay();
    if (!display) return 0;
    return XInternAtom(display, "WM_DELETE_WINDOW", True);
}

}  // namespace vexel
