#include "platform/wayland/wayland_connection.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/key_codes.h"
#include "viewporter-client-protocol.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace vexel {

namespace {

int64_t NowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The socket WAYLAND_DISPLAY names (or the default one), as libwayland resolves it.
std::string SocketPath() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::string socket = name && *name ? name : "wayland-0";
    if (socket[0] == '/') return socket;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    return std::string(runtime) + "/" + socket;
}

WaylandConnection& State() {
    static WaylandConnection* const connection = new WaylandConnection;
    return *connection;
}

// A pointer position of the input surface in the view's units, truncated toward zero.
int32_t ToView(double surface, float buffer_scale, int32_t offset, float view_scale) {
    return static_cast<int32_t>((surface * buffer_scale - offset) / view_scale);
}

void PointerPosition(int32_t& x, int32_t& y) {
    const WaylandConnection& c = State();
    if (c.warped) {
        x = c.warped_x;
        y = c.warped_y;
        return;
    }
    x = ToView(c.pointer_x, c.buffer_scale, c.view_x, c.view_scale);
    y = ToView(c.pointer_y, c.buffer_scale, c.view_y, c.view_scale);
}

void QueuePointerInput(InputEvent event, int32_t data) {
    int32_t x = 0, y = 0;
    PointerPosition(x, y);
    QueueInput(event, data, x, y);
}

// Shows the pointer image the program asked for over our surface.
void ApplyCursor() {
    WaylandConnection& c = State();
    if (!c.pointer || !c.pointer_inside) return;
    if (!c.cursor_visible) {
        wl_pointer_set_cursor(c.pointer, c.enter_serial, nullptr, 0, 0);
        return;
    }
    if (!c.cursor_theme && c.shm) c.cursor_theme = wl_cursor_theme_load(nullptr, 24, c.shm);
    wl_cursor* cursor =
        c.cursor_theme ? wl_cursor_theme_get_cursor(c.cursor_theme, "left_ptr") : nullptr;
    if (!cursor || cursor->image_count == 0) return;
    wl_cursor_image* image = cursor->images[0];
    if (!c.cursor_surface) c.cursor_surface = wl_compositor_create_surface(c.compositor);
    wl_surface_attach(c.cursor_surface, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_damage(c.cursor_surface, 0, 0, static_cast<int32_t>(image->width),
                      static_cast<int32_t>(image->height));
    wl_surface_commit(c.cursor_surface);
    wl_pointer_set_cursor(c.pointer, c.enter_serial, c.cursor_surface,
                          static_cast<int32_t>(image->hotspot_x),
                          static_cast<int32_t>(image->hotspot_y));
}

// Pointer

void PointerEnter(void*, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y) {
    WaylandConnection& c = State();
    c.pointer_inside = surface == c.input_surface;
    c.enter_serial = serial;
    c.pointer_x = wl_fixed_to_double(x);
    c.pointer_y = wl_fixed_to_double(y);
    ApplyCursor();
    // Coming in is a motion to the entry point, as X reports a pointer moved into a window.
    if (c.pointer_inside) {
        c.warped = false;
        QueuePointerInput(InputEvent::MouseMove, 0);
    }
}

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {
    State().pointer_inside = false;
}

void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    WaylandConnection& c = State();
    if (!c.pointer_inside) return;
    c.pointer_x = wl_fixed_to_double(x);
    c.pointer_y = wl_fixed_to_double(y);
    c.warped = false;
    QueuePointerInput(InputEvent::MouseMove, 0);
}

// Left, right, middle in the framework's numbering; 0 for every other button.
int32_t ButtonNumber(uint32_t button) {
    switch (button) {
        case BTN_LEFT:
            return 1;
        case BTN_RIGHT:
            return 2;
        case BTN_MIDDLE:
            return 3;
        default:
            return 0;
    }
}

void PointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    if (!State().pointer_inside) return;
    if (const int32_t number = ButtonNumber(button)) {
        QueuePointerInput(
            state == WL_POINTER_BUTTON_STATE_PRESSED ? InputEvent::MouseDown : InputEvent::MouseUp,
            number);
    }
}

void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value) {
    if (!State().pointer_inside || axis != WL_POINTER_AXIS_VERTICAL_SCROLL || value == 0) return;
    // Scrolling away from the user (negative values) is the wheel's step up.
    QueuePointerInput(InputEvent::MouseWheel, value < 0 ? 1 : -1);
}

void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
    PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, nullptr,
};

// Keyboard

void KeyboardKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    WaylandConnection& c = State();
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_string(c.xkb, static_cast<const char*>(text), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!keymap) return;
    xkb_state_unref(c.key_state);
    xkb_keymap_unref(c.keymap);
    c.keymap = keymap;
    c.key_state = xkb_state_new(keymap);
}

void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}

void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {
    State().repeating_key = 0;
}

// The framework's key code of an xkb key code: its keysym at the first level, as X11 reports.
int32_t KeyCodeOf(uint32_t key) {
    const WaylandConnection& c = State();
    const xkb_layout_index_t layout = xkb_state_key_get_layout(c.key_state, key);
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(
        c.keymap, key, layout == XKB_LAYOUT_INVALID ? 0 : layout, 0, &syms);
    return count > 0 ? KeyCodeForKeysym(syms[0]) : 0;
}

// The character a press of `key` types, through the compose sequences of the locale: Latin-1
// codes 1..255, as typed characters are on X11; others type nothing.
void QueueTypedCharacters(uint32_t key) {
    WaylandConnection& c = State();
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(c.key_state, key);
    if (c.compose_state &&
        xkb_compose_state_feed(c.compose_state, sym) == XKB_COMPOSE_FEED_ACCEPTED) {
        switch (xkb_compose_state_get_status(c.compose_state)) {
            case XKB_COMPOSE_COMPOSING:
                return;
            case XKB_COMPOSE_CANCELLED:
                xkb_compose_state_reset(c.compose_state);
                return;
            case XKB_COMPOSE_COMPOSED: {
                const xkb_keysym_t composed = xkb_compose_state_get_one_sym(c.compose_state);
                xkb_compose_state_reset(c.compose_state);
                const uint32_t character = xkb_keysym_to_utf32(composed);
                if (character > 0 && character < 0x100) {
                    QueueInput(InputEvent::Character, static_cast<int32_t>(character));
                }
                return;
            }
            case XKB_COMPOSE_NOTHING:
                break;
        }
    }
    const uint32_t character = xkb_state_key_get_utf32(c.key_state, key);
    if (character > 0 && character < 0x100) {
        QueueInput(InputEvent::Character, static_cast<int32_t>(character));
    }
}

void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t evdev_key, uint32_t state) {
    WaylandConnection& c = State();
    if (!c.key_state) return;
    const uint32_t key = evdev_key + 8;
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
        QueuePointerInput(InputEvent::KeyDown, KeyCodeOf(key));
        QueueTypedCharacters(key);
        if (c.repeat_rate > 0 && xkb_keymap_key_repeats(c.keymap, key)) {
            c.repeating_key = key;
            c.next_repeat_ms = NowMillis() + c.repeat_delay;
        }
    } else {
        if (c.repeating_key == key) c.repeating_key = 0;
        QueuePointerInput(InputEvent::KeyUp, KeyCodeOf(key));
    }
}

void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                       uint32_t locked, uint32_t group) {
    WaylandConnection& c = State();
    if (c.key_state) xkb_state_update_mask(c.key_state, depressed, latched, locked, 0, 0, group);
}

void KeyboardRepeatInfo(void*, wl_keyboard*, int32_t rate, int32_t delay) {
    WaylandConnection& c = State();
    c.repeat_rate = rate;
    c.repeat_delay = delay;
}

const wl_keyboard_listener kKeyboardListener = {
    KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
    KeyboardKey,    KeyboardModifiers, KeyboardRepeatInfo,
};

// A held key repeats as the compositor announced: one KeyRepeat with its characters each
// period after the delay, as the X server's auto-repeat does.
void QueueKeyRepeats() {
    WaylandConnection& c = State();
    if (!c.repeating_key || c.repeat_rate <= 0) return;
    const int64_t now = NowMillis();
    const int64_t period = std::max(1, 1000 / c.repeat_rate);
    while (c.repeating_key && c.next_repeat_ms <= now) {
        QueuePointerInput(InputEvent::KeyRepeat, KeyCodeOf(c.repeating_key));
        QueueTypedCharacters(c.repeating_key);
        c.next_repeat_ms += period;
    }
}

// Seat, outputs, globals

// Devices come and go (a virtual keyboard lives as long as the program that made it): the
// pointer and keyboard objects follow the seat's capabilities.
void SeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
    WaylandConnection& c = State();
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (pointer && !c.pointer) {
        c.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(c.pointer, &kPointerListener, nullptr);
    } else if (!pointer && c.pointer) {
        wl_pointer_release(c.pointer);
        c.pointer = nullptr;
        c.pointer_inside = false;
    }
    if (keyboard && !c.keyboard) {
        c.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(c.keyboard, &kKeyboardListener, nullptr);
    } else if (!keyboard && c.keyboard) {
        wl_keyboard_release(c.keyboard);
        c.keyboard = nullptr;
        c.repeating_key = 0;
    }
}

void SeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

WaylandOutput* OutputOf(wl_output* output) {
    for (WaylandOutput& o : State().outputs) {
        if (o.output == output) return &o;
    }
    return nullptr;
}

void OutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {}

void OutputMode(void*, wl_output* output, uint32_t flags, int32_t width, int32_t height, int32_t) {
    WaylandOutput* o = OutputOf(output);
    if (o && (flags & WL_OUTPUT_MODE_CURRENT)) {
        o->width = width;
        o->height = height;
    }
}

void OutputDone(void*, wl_output*) {}

void OutputScale(void*, wl_output* output, int32_t scale) {
    if (WaylandOutput* o = OutputOf(output)) o->scale = scale;
}

// Bound at version 2: the name and description events never come.
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode, OutputDone,
                                            OutputScale,    nullptr,    nullptr};

void WmBasePing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {WmBasePing};

template <typename Interface>
Interface* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface,
                uint32_t offered, uint32_t wanted) {
    return static_cast<Interface*>(
        wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void RegistryGlobal(void*, wl_registry* registry, uint32_t name, const char* interface,
                    uint32_t version) {
    WaylandConnection& c = State();
    const std::string kind = interface;
    if (kind == wl_compositor_interface.name) {
        c.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (kind == wl_shm_interface.name) {
        c.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (kind == wl_seat_interface.name && !c.seat) {
        c.seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(c.seat, &kSeatListener, nullptr);
    } else if (kind == xdg_wm_base_interface.name) {
        c.wm_base = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 2);
        xdg_wm_base_add_listener(c.wm_base, &kWmBaseListener, nullptr);
    } else if (kind == zxdg_decoration_manager_v1_interface.name) {
        c.decorations = Bind<zxdg_decoration_manager_v1>(
            registry, name, &zxdg_decoration_manager_v1_interface, version, 1);
    } else if (kind == wp_viewporter_interface.name) {
        c.viewporter = Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (kind == wp_fractional_scale_manager_v1_interface.name) {
        c.fractional_scales = Bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (kind == wl_output_interface.name) {
        WaylandOutput output;
        output.name = name;
        output.output = Bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        c.outputs.push_back(output);
        wl_output_add_listener(output.output, &kOutputListener, nullptr);
    }
}

void RegistryGlobalRemove(void*, wl_registry*, uint32_t name) {
    auto& outputs = State().outputs;
    std::erase_if(outputs, [name](const WaylandOutput& o) { return o.name == name; });
}

const wl_registry_listener kRegistryListener = {RegistryGlobal, RegistryGlobalRemove};

void Connect(WaylandConnection& c) {
    c.display = wl_display_connect(nullptr);
    if (!c.display) return;
    c.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const char* locale = std::setlocale(LC_CTYPE, nullptr);
    const char* const names[] = {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"),
                                 std::getenv("LANG"), locale, "C"};
    for (const char* name : names) {
        if (!name || !*name || c.compose_table) continue;
        c.compose_table =
            xkb_compose_table_new_from_locale(c.xkb, name, XKB_COMPOSE_COMPILE_NO_FLAGS);
    }
    if (c.compose_table) {
        c.compose_state = xkb_compose_state_new(c.compose_table, XKB_COMPOSE_STATE_NO_FLAGS);
    }
    c.registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(c.registry, &kRegistryListener, nullptr);
    // The globals, then what binding them sent (the seat's capabilities, the outputs, the
    // keymap).
    wl_display_roundtrip(c.display);
    wl_display_roundtrip(c.display);
}

}  // namespace

bool WaylandCompositorAnswers() {
    const std::string path = SocketPath();
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
    return Wayland().display != nullptr && Wayland().compositor && Wayland().wm_base;
}

WaylandConnection& Wayland() {
    static const bool connected = [] {
        Connect(State());
        return true;
    }();
    (void)connected;
    return State();
}

void QueueInput(InputEvent event, int32_t data, int32_t x, int32_t y) {
    State().queued.push_back(QueuedInput{event, data, x, y});
}

void DispatchWaylandEvents() {
    wl_display* display = Wayland().display;
    if (!display) return;
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        wl_display_read_events(display);
    } else {
        wl_display_cancel_read(display);
    }
    wl_display_dispatch_pending(display);
}

void WaylandRoundtrip() {
    if (wl_display* display = Wayland().display) wl_display_roundtrip(display);
}

void SetInputSurface(wl_surface* surface, float buffer_scale) {
    WaylandConnection& c = State();
    c.input_surface = surface;
    c.buffer_scale = buffer_scale;
    c.view_x = c.view_y = 0;
    c.view_scale = buffer_scale;
    if (!surface) c.pointer_inside = false;
}

void WaylandInput::Pump(InputSink sink) {
    DispatchWaylandEvents();
    QueueKeyRepeats();
    WaylandConnection& c = State();
    while (!c.queued.empty()) {
        const QueuedInput input = c.queued.front();
        c.queued.pop_front();
        sink(input.event, input.data, input.x, input.y);
    }
}

void WaylandInput::Wait(int wake_fd, int timeout_ms) {
    WaylandConnection& c = Wayland();
    if (!c.display || !c.queued.empty()) return;
    if (c.repeating_key) {
        timeout_ms =
            static_cast<int>(std::clamp<int64_t>(c.next_repeat_ms - NowMillis(), 0, timeout_ms));
    }
    while (wl_display_prepare_read(c.display) != 0)
        wl_display_dispatch_pending(c.display);
    wl_display_flush(c.display);
    pollfd fds[2] = {{wl_display_get_fd(c.display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    poll(fds, wake_fd >= 0 ? 2 : 1, timeout_ms);
    if (fds[0].revents & POLLIN) {
        wl_display_read_events(c.display);
    } else {
        wl_display_cancel_read(c.display);
    }
}

void WaylandInput::WarpPointer(int32_t x, int32_t y) {
    // A client cannot move the pointer; the asked position is reported, as a motion to it,
    // until the pointer really moves.
    WaylandConnection& c = State();
    if (!c.input_surface) return;
    c.warped = true;
    c.warped_x = x;
    c.warped_y = y;
    QueueInput(InputEvent::MouseMove, 0, x, y);
}

void WaylandInput::SetCursorVisible(bool visible) {
    WaylandConnection& c = State();
    c.cursor_visible = visible;
    ApplyCursor();
}

}  // namespace vexel
