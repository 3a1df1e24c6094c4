#include "system/x_glue.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>

#include <atomic>
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

void EmitEvent(int32_t id, int32_t data, int32_t x, int32_t y) {
    TEvent::Create(id, nullptr, data, 0, x, y, nullptr)->Emit();
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
            EmitEvent(EVENT_KEYDOWN, KeyCodeOf(event.xkey), event.xkey.x, event.xkey.y);
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
                    EmitEvent(EVENT_KEYREPEAT, KeyCodeOf(event.xkey), event.xkey.x, event.xkey.y);
                    EmitTypedCharacters(event.xkey);
                    break;
                }
            }
            EmitEvent(EVENT_KEYUP, KeyCodeOf(event.xkey), event.xkey.x, event.xkey.y);
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == 4 || event.xbutton.button == 5) {
                EmitEvent(EVENT_MOUSEWHEEL, event.xbutton.button == 4 ? 1 : -1, event.xbutton.x,
                          event.xbutton.y);
            } else if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitEvent(EVENT_MOUSEDOWN, button, event.xbutton.x, event.xbutton.y);
            }
            break;
        case ButtonRelease:
            if (const int32_t button = ButtonNumber(event.xbutton.button)) {
                EmitEvent(EVENT_MOUSEUP, button, event.xbutton.x, event.xbutton.y);
            }
            break;
        case MotionNotify:
            EmitEvent(EVENT_MOUSEMOVE, 0, event.xmotion.x, event.xmotion.y);
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
    XWarpPointer(glue.display, None, glue.input_window, 0, 0, 0, 0, x, y);
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

int32_t KeyCodeForKeysym(unsigned long keysym) {
    switch (keysym) {
        case 0xff61:
            return 42;  // Print
        case 0xff63:
            return 45;  // Insert
        case 0xff67:
            return 93;  // Menu
        default:
            break;
    }
    const int32_t k = static_cast<int32_t>(keysym & 0xff);
    if (k >= 97 && k <= 126) return k - 32;   // a-z and the four after z
    if (k >= 81 && k <= 84) return k - 44;    // Left, Up, Right, Down
    if (k >= 190 && k <= 201) return k - 78;  // F1-F12
    switch (k) {
        case 80:
            return 36;  // Home
        case 85:
            return 33;  // Page Up
        case 86:
            return 34;  // Page Down
        case 87:
            return 35;  // End
        case 255:
            return 46;  // Delete
        case 20:
            return 145;  // Scroll Lock
        case 127:
            return 144;  // Num Lock
        case 141:
            return 13;  // keypad Enter
        case 149:
            return 103;  // keypad 7 (Home)
        case 150:
            return 100;  // keypad 4 (Left)
        case 151:
            return 104;  // keypad 8 (Up)
        case 152:
            return 102;  // keypad 6 (Right)
        case 153:
            return 98;  // keypad 2 (Down)
        case 154:
            return 105;  // keypad 9 (Page Up)
        case 155:
            return 99;  // keypad 3 (Page Down)
        case 156:
            return 97;  // keypad 1 (End)
        case 157:
            return 101;  // keypad 5 (Begin)
        case 158:
            return 96;  // keypad 0 (Insert)
        case 159:
            return 110;  // keypad decimal (Delete)
        case 170:
            return 106;  // keypad *
        case 171:
            return 107;  // keypad +
        case 173:
            return 109;  // keypad -
        case 175:
            return 111;  // keypad /
        case 225:
            return 160;  // Shift L
        case 226:
            return 161;  // Shift R
        case 227:
            return 162;  // Control L
        case 228:
            return 163;  // Control R
        case 233:
            return 164;  // Alt L
        case 234:
            return 165;  // Alt R
        case 235:
            return 91;  // Super L
        case 236:
            return 92;  // Super R
        case 39:
            return 222;  // '
        case 44:
            return 188;  // ,
        case 45:
            return 189;  // -
        case 46:
            return 190;  // .
        case 47:
            return 191;  // /
        case 59:
            return 186;  // ;
        case 61:
            return 187;  // =
        case 91:
            return 219;  // [
        case 92:
            return 226;  // backslash
        case 93:
            return 221;  // ]
        case 96:
            return 192;  // `
        default:
            return k;
    }
}

}  // namespace vexel
