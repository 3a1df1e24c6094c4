#include "system/polled_input.h"

#include <array>

#include "system/event.h"
#include "system/hook.h"
#include "system/system_driver.h"

namespace vexel {

namespace {

constexpr int kKeys = 256;
constexpr int kTypedRing = 256;
constexpr int kButtons = 4;

struct InputState {
    std::array<int32_t, kKeys> key_down{};
    std::array<int32_t, kKeys> key_hits{};
    std::array<int32_t, kTypedRing> typed{};
    uint32_t typed_put = 0;
    uint32_t typed_get = 0;
    std::array<int32_t, kButtons> button_down{};
    std::array<int32_t, kButtons> button_hits{};
    int32_t mouse_x = 0, mouse_y = 0, wheel = 0;
    int32_t last_x = 0, last_y = 0, last_wheel = 0;
    int32_t suspended = 0;
    int32_t terminate_requested = 0;
    bool enabled = false;
    ObjectPtr source;
};

InputState& State() {
    static InputState state;
    return state;
}

// Key codes from the translation are always 0..255 and buttons 1..3, but events can be
// made by anyone; values outside the arrays are ignored rather than written past them.
bool IsKey(int32_t key) {
    return key >= 0 && key < kKeys;
}
bool IsButton(int32_t button) {
    return button >= 0 && button < kButtons;
}

void FlushInputState() {
    InputState& s = State();
    s.typed_put = s.typed_get = 0;
    s.key_down.fill(0);
    s.key_hits.fill(0);
}

void FlushMouseState() {
    InputState& s = State();
    s.button_down.fill(0);
    s.button_hits.fill(0);
    s.wheel = 0;
}

void Press(int32_t& down, int32_t& hits) {
    if (down) return;
    down = 1;
    ++hits;
}

ObjectPtr InputHook(int, const ObjectPtr& data, const ObjectPtr&) {
    const auto event = std::dynamic_pointer_cast<TEvent>(data);
    if (!event) return data;
    InputState& s = State();
    if (s.source && s.source != event->source) return data;
    const int32_t value = event->data;
    switch (event->id) {
        case EVENT_KEYDOWN:
            if (IsKey(value)) Press(s.key_down[value], s.key_hits[value]);
            break;
        case EVENT_KEYUP:
            if (IsKey(value)) s.key_down[value] = 0;
            break;
        case EVENT_KEYCHAR:
            if (s.typed_put - s.typed_get < kTypedRing) s.typed[s.typed_put++ % kTypedRing] = value;
            break;
        case EVENT_MOUSEDOWN:
            if (IsButton(value)) Press(s.button_down[value], s.button_hits[value]);
            break;
        case EVENT_MOUSEUP:
            if (IsButton(value)) s.button_down[value] = 0;
            break;
        case EVENT_MOUSEMOVE:
            s.mouse_x = event->x;
            s.mouse_y = event->y;
            break;
        case EVENT_MOUSEWHEEL:
            s.wheel += value;
            break;
        case EVENT_APPSUSPEND:
        case EVENT_APPRESUME:
            FlushInputState();
            FlushMouseState();
            s.suspended = event->id == EVENT_APPSUSPEND ? 1 : 0;
            break;
        case EVENT_APPTERMINATE:
            s.terminate_requested = 1;
            break;
        default:
            break;
    }
    return data;
}

int32_t Take(int32_t& counter) {
    const int32_t value = counter;
    counter = 0;
    return value;
}

int32_t Delta(int32_t current, int32_t& last) {
    const int32_t delta = current - last;
    last = current;
    return delta;
}

}  // namespace

void StartInputPolling(const ObjectPtr& source) {
    InputState& s = State();
    if (s.enabled) return;
    s.source = source;
    FlushInput();
    FlushMouseInput();
    AttachHook(EmitEventHook(), InputHook, nullptr, 0);
    s.enabled = true;
}

void StopInputPolling() {
    InputState& s = State();
    if (!s.enabled) return;
    DetachHook(EmitEventHook(), InputHook, nullptr);
    FlushInput();
    FlushMouseInput();
    s.source = nullptr;
    s.enabled = false;
}

int32_t AppTerminateRequested() {
    PumpSystem();
    return Take(State().terminate_requested);
}

int32_t AppIsSuspended() {
    PumpSystem();
    return State().suspended;
}

int32_t KeyWasHit(int32_t key) {
    PumpSystem();
    return IsKey(key) ? Take(State().key_hits[key]) : 0;
}

int32_t KeyIsDown(int32_t key) {
    PumpSystem();
    return IsKey(key) ? State().key_down[key] : 0;
}

int32_t NextTypedChar() {
    PumpSystem();
    InputState& s = State();
    if (s.typed_get == s.typed_put) return 0;
    return s.typed[s.typed_get++ % kTypedRing];
}

int32_t MouseXPos() {
    PumpSystem();
    return State().mouse_x;
}

int32_t MouseYPos() {
    PumpSystem();
    return State().mouse_y;
}

int32_t MouseWheelPos() {
    PumpSystem();
    return State().wheel;
}

int32_t MouseXDelta() {
    PumpSystem();
    return Delta(State().mouse_x, State().last_x);
}

int32_t MouseYDelta() {
    PumpSystem();
    return Delta(State().mouse_y, State().last_y);
}

int32_t MouseWheelDelta() {
    PumpSystem();
    return Delta(State().wheel, State().last_wheel);
}

int32_t MouseWasHit(int32_t button) {
    PumpSystem();
    return IsButton(button) ? Take(State().button_hits[button]) : 0;
}

int32_t MouseIsDown(int32_t button) {
    PumpSystem();
    return IsButton(button) ? State().button_down[button] : 0;
}

void FlushInput() {
    PumpSystem();
    FlushInputState();
}

void FlushMouseInput() {
    PumpSystem();
    FlushMouseState();
}

int32_t WaitForKey() {
    FlushInput();
    for (;;) {
        AwaitSystem();
        for (int32_t key = 1; key < kKeys; ++key) {
            if (KeyWasHit(key)) return key;
        }
    }
}

int32_t WaitForTypedChar() {
    FlushInput();
    for (;;) {
        AwaitSystem();
        if (const int32_t c = NextTypedChar()) return c;
    }
}

int32_t WaitForMouse() {
    FlushMouseInput();
    for (;;) {
        AwaitSystem();
        for (int32_t button = 1; button < kButtons; ++button) {
            if (MouseWasHit(button)) return button;
        }
    }
}

}  // namespace vexel
