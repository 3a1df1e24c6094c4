#pragma once

// The Wayland connection: the one compositor connection of the process with the globals the
// framework binds, the seat's pointer and keyboard turned into the framework's meaning
// (xkbcommon keymaps, compose sequences, key repeat as the compositor announces it), and the
// wait on the compositor. The Wayland window code and tests include this header; the modules
// above reach it through platform/input.h. Main thread only.

#include <wayland-client.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/input.h"

struct xdg_wm_base;
struct zxdg_decoration_manager_v1;
struct wp_viewporter;
struct wp_fractional_scale_manager_v1;
struct wl_cursor_theme;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_table;
struct xkb_compose_state;

namespace vexel {

// Whether a Wayland compositor answers: WAYLAND_DISPLAY names a socket (a name in
// XDG_RUNTIME_DIR or an absolute path) or the default one exists, and connecting works.
bool WaylandCompositorAnswers();

// One output of the compositor.
struct WaylandOutput {
    wl_output* output = nullptr;
    uint32_t name = 0;
    int32_t scale = 1;
    int32_t width = 0, height = 0;  // the current mode in pixels
};

// One event of the desktop, kept until the next pump hands it on.
struct QueuedInput {
    InputEvent event;
    int32_t data, x, y;
};

struct WaylandConnection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* wm_base = nullptr;
    zxdg_decoration_manager_v1* decorations = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractional_scales = nullptr;
    std::vector<WaylandOutput> outputs;

    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    // The window the pointer and keyboard apply to, and where the logical frame sits in it:
    // from buffer pixel (view_x, view_y) at view_scale buffer pixels per unit, with
    // buffer_scale buffer pixels per surface unit.
    wl_surface* input_surface = nullptr;
    int32_t view_x = 0, view_y = 0;
    float view_scale = 1;
    float buffer_scale = 1;
    // The pointer over the input surface, in surface units, and the serial of its entry.
    bool pointer_inside = false;
    double pointer_x = 0, pointer_y = 0;
    uint32_t enter_serial = 0;
    // A position asked by WarpPointer, reported until the next real motion.
    bool warped = false;
    int32_t warped_x = 0, warped_y = 0;
    bool cursor_visible = true;
    wl_cursor_theme* cursor_theme = nullptr;
    wl_surface* cursor_surface = nullptr;

    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* key_state = nullptr;
    xkb_compose_table* compose_table = nullptr;
    xkb_compose_state* compose_state = nullptr;
    // Key repeat as announced: characters a second and the delay before the first.
    int32_t repeat_rate = 25, repeat_delay = 600;
    uint32_t repeating_key = 0;  // evdev code + 8; 0 when none repeats
    int64_t next_repeat_ms = 0;

    std::deque<QueuedInput> queued;
};

// The connection, opened on first call; its display is null when no compositor answers.
WaylandConnection& Wayland();

// Keeps `event` for the next pump.
void QueueInput(InputEvent event, int32_t data = 0, int32_t x = 0, int32_t y = 0);

// Sends what is buffered and handles every event that arrived, without waiting.
void DispatchWaylandEvents();

// Sends what is buffered and waits until the compositor has answered everything sent.
void WaylandRoundtrip();

// Makes `surface` the one the pointer and keyboard apply to (null: none).
void SetInputSurface(wl_surface* surface, float buffer_scale);

// Input and the event wait over the compositor connection.
class WaylandInput : public PlatformInput {
  public:
    void Pump(InputSink sink) override;
    void Wait(int wake_fd, int timeout_ms) override;
    void WarpPointer(int32_t x, int32_t y) override;
    void SetCursorVisible(bool visible) override;
};

}  // namespace vexel
