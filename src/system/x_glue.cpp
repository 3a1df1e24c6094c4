#include "system/internal/x_glue.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "system/event.h"

namespace vexel {

namespace {

struct PostedWork {
    MainThreadFunction function;
    ObjectPtr object;
    void* data;
};

struct XGlue {
    Display* display = nullptr;
    int display_fd = -1;
    Window input_window = 0;
    // Where the program's picture sits in the input window: positions are reported and
    // warped in the picture's own units.
    int32_t view_x = 0, view_y = 0;
    float view_scale = 1;
    Cursor blank_cursor = 0;
    int wake_read = -1;
    int wake_write = -1;

    // The program's one mutex: guards the post queue and the emptying of the wake pipe.
    std::mutex post_mutex;
    std::vector<PostedWork> posted;
    // Lets the pump skip the lock when nothing was posted.
    std::atomic<int> posted_count{0};
    std::vector<char> drain_buffer;
};

// Ticker threads may still post while the process runs its exit handlers and static
// destructors, so the glue is made once and never destroyed.
XGlue& Glue() {
    static XGlue* const glue = new XGlue;
    return *glue;
}

// A window pixel in the view's units, truncated toward zero.
int32_t ToView(int32_t pixel, int32_t offset, float scale) {
    if (offset == 0 && scale == 1) return pixel;
    return static_cast<int32_t>(static_cast<float>(pixel - offset) / scale);
}

void EmitEvent(int32_t id, int32_t data, int32_t x, int32_t y) {
    TEvent::Create(id, nullptr, data, 0, x, y, nullptr)->Emit();
}

// An event at the pointer position (x, y) of the window, given in the view's units.
void EmitPointerEvent(int32_t id, int32_t data, int32_t x, int32_t y) {
    const XGlue& glue = Glue();
    EmitEvent(id, data, ToView(x, glue.view_x, glue.view_scale),
              ToView(y, glue.view_y, glue.view_scale));
}

// Every byte XLookupString yields is one typed character. The bytes are Latin-1, so 128-255
// are delivered as those character codes (a typed "ü" is 252), never as negative numbers.
void EmitTypedCharacters(XKeyEvent& key) {
    char buffer[15];
    const int count = XLookupString(&key, buffer, sizeof buffer, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        EmitEvent(EVENT_KEYCHAR, static_cast<unsigned char>(buffer[i]), 0, 0);
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

void TranslateEvent(Display* display, XEvent& event) {
    switch (event.type) {
        case KeyPress:
            EmitPointerEvent(EVENT_KEYDOWN, KeyCodeOf(event.xkey), event.xkey.x, event.xkey.y);
            EmitTypedCharacters(event.xkey);
            break;
        case KeyRelease: {
            // A release directly followed by a press of the same key is the server's
            // auto-repeat: one KeyRepeat instead of an up and a down.
            if (XPending(display) > 0) {
                XEvent next;
                XPeekEvent(display, &next);
                if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode) {
                    XNextEvent(display, &next);
                    EmitPointerEvent(EVENT_KEYREPEAT, KeyCodeOf(event.xkey), event.xkey.x,
                                     event.xkey.y);
                    EmitTypedCharacters(event.xkey);
                    break;
                }
            }
            EmitPointerEvent(EVENT_KEYUP, KeyCodeOf(event.xkey), event.xkey.x, event.xkey.y);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == 4 || event.xbutton.button == 5) {
                EmitPointerEvent(EVENT_MOUSEWHEEL, event.xbutton.button == 4 ? 1 : -1,
                                 event.xbutton.x, event.xbutton.y);
            } else if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitPointerEvent(EVENT_MOUSEDOWN, button, event.xbutton.x, event.xbutton.y);
            }
            break;
        case ButtonRelease:
            if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitPointerEvent(EVENT_MOUSEUP, button, event.xbutton.x, event.xbutton.y);
            }
            break;
        case MotionNotify:
            EmitPointerEvent(EVENT_MOUSEMOVE, 0, event.xmotion.x, event.xmotion.y);
            break;
        case ClientMessage: {
            const Atom close = DeleteWindowAtom();
            if (close != 0 && static_cast<Atom>(event.xclient.data.l[0]) == close) {
                EmitEvent(EVENT_APPTERMINATE, 0, 0, 0);
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

void DrainPosted() {
    XGlue& glue = Glue();
    if (glue.posted_count.load(std::memory_order_acquire) == 0) return;
    std::vector<PostedWork> work;
    {
        std::lock_guard lock(glue.post_mutex);
        work.swap(glue.posted);
        glue.posted_count.store(0, std::memory_order_relaxed);
        int available = 0;
        if (ioctl(glue.wake_read, FIONREAD, &available) == 0 && available > 0) {
            if (glue.drain_buffer.size() < static_cast<size_t>(available)) {
                glue.drain_buffer.resize(static_cast<size_t>(available));
            }
            // The wake bytes carry no information; a short read leaves the rest to wake the
            // next wait early, which is harmless.
            const ssize_t ignored =
                read(glue.wake_read, glue.drain_buffer.data(), static_cast<size_t>(available));
            (void)ignored;
        }
    }
    for (PostedWork& item : work)
        item.function(item.object, item.data);
}

}  // namespace

void OpenXGlue() {
    static const bool opened = [] {
        XGlue& glue = Glue();
        XInitThreads();
        glue.display = XOpenDisplay(nullptr);
        if (glue.display) glue.display_fd = ConnectionNumber(glue.display);
        int fds[2];
        // Non-blocking both ways: a poster must never block while it holds the mutex,
        // even when nobody has emptied the pipe for a long time (the pending bytes
        // already guarantee the wake-up).
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            glue.wake_read = fds[0];
            glue.wake_write = fds[1];
        }
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

void PumpXEvents() {
    OpenXGlue();
    Display* display = Glue().display;
    if (display) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            TranslateEvent(display, event);
        }
    }
    DrainPosted();
}

void WaitXEvents() {
    OpenXGlue();
    XGlue& glue = Glue();
    // Events Xlib has already read off the socket would not wake select.
    const bool queued = glue.display && XQLength(glue.display) > 0;
    if (!queued && glue.wake_read >= 0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(glue.wake_read, &readable);
        int highest = glue.wake_read;
        if (glue.display_fd >= 0) {
            FD_SET(glue.display_fd, &readable);
            if (glue.display_fd > highest) highest = glue.display_fd;
        }
        timeval timeout{10, 0};
        select(highest + 1, &readable, nullptr, nullptr, &timeout);
    }
    PumpXEvents();
}

void PostToMainThread(MainThreadFunction function, ObjectPtr object, void* data) {
    OpenXGlue();
    XGlue& glue = Glue();
    std::lock_guard lock(glue.post_mutex);
    glue.posted.push_back(PostedWork{function, std::move(object), data});
    glue.posted_count.fetch_add(1, std::memory_order_release);
    const char wake = 0;
    // A full pipe already holds a wake-up; nothing is lost when this write fails.
    const ssize_t ignored = write(glue.wake_write, &wake, 1);
    (void)ignored;
}

void WarpPointerInInputWindow(int32_t x, int32_t y) {
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

void SetInputCursorVisible(bool visible) {
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

Atom DeleteWindowAtom() {
    Display* display = SystemDisplay();
    if (!display) return 0;
    return XInternAtom(display, "WM_DELETE_WINDOW", True);
}

namespace {

struct KeyMapping {
    unsigned long from;
    int32_t code;
};

// Whole keysyms that need their own code.
constexpr KeyMapping kWholeKeysyms[] = {
    {0xff61, 42},  // Print
    {0xff63, 45},  // Insert
    {0xff67, 93},  // Menu
};

// Keysyms by their low byte (Latin-1 and the 0xff function block share one space here).
constexpr KeyMapping kLowBytes[] = {
    {80, 36},    // Home
    {85, 33},    // Page Up
    {86, 34},    // Page Down
    {87, 35},    // End
    {255, 46},   // Delete
    {20, 145},   // Scroll Lock
    {127, 144},  // Num Lock
    {141, 13},   // keypad Enter
    {149, 103},  // keypad 7 (Home)
    {150, 100},  // keypad 4 (Left)
    {151, 104},  // keypad 8 (Up)
    {152, 102},  // keypad 6 (Right)
    {153, 98},   // keypad 2 (Down)
    {154, 105},  // keypad 9 (Page Up)
    {155, 99},   // keypad 3 (Page Down)
    {156, 97},   // keypad 1 (End)
    {157, 101},  // keypad 5 (Begin)
    {158, 96},   // keypad 0 (Insert)
    {159, 110},  // keypad decimal (Delete)
    {170, 106},  // keypad *
    {171, 107},  // keypad +
    {173, 109},  // keypad -
    {175, 111},  // keypad /
    {225, 160},  // Shift L
    {226, 161},  // Shift R
    {227, 162},  // Control L
    {228, 163},  // Control R
    {233, 164},  // Alt L
    {234, 165},  // Alt R
    {235, 91},   // Super L
    {236, 92},   // Super R
    {39, 222},   // '
    {44, 188},   // ,
    {45, 189},   // -
    {46, 190},   // .
    {47, 191},   // /
    {59, 186},   // ;
    {61, 187},   // =
    {91, 219},   // [
    {92, 226},   // backslash
    {93, 221},   // ]
    {96, 192},   // `
};

}  // namespace

int32_t KeyCodeForKeysym(unsigned long keysym) {
    for (const auto& mapping : kWholeKeysyms) {
        if (mapping.from == keysym) return mapping.code;
    }
    const int32_t k = static_cast<int32_t>(keysym & 0xff);
    if (k >= 97 && k <= 126) return k - 32;   // a-z and the four after z
    if (k >= 81 && k <= 84) return k - 44;    // Left, Up, Right, Down
    if (k >= 190 && k <= 201) return k - 78;  // F1-F12
    for (const auto& mapping : kLowBytes) {
        if (mapping.from == static_cast<unsigned long>(k)) return mapping.code;
    }
    return k;
}

}  // namespace vexel
