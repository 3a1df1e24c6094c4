#include "system/internal/event_pump.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/input.h"
#include "platform/platform.h"
#include "system/event.h"

namespace vexel {

namespace {

struct PostedWork {
    MainThreadFunction function;
    ObjectPtr object;
    void* data;
};

struct PumpState {
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
// destructors, so the state is made once and never destroyed.
PumpState& State() {
    static PumpState* const state = new PumpState;
    return *state;
}

constexpr int kLongestWaitMillis = 10000;

int32_t EventId(InputEvent event) {
    switch (event) {
        case InputEvent::KeyDown:
            return EVENT_KEYDOWN;
        case InputEvent::KeyUp:
            return EVENT_KEYUP;
        case InputEvent::KeyRepeat:
            return EVENT_KEYREPEAT;
        case InputEvent::Character:
            return EVENT_KEYCHAR;
        case InputEvent::MouseDown:
            return EVENT_MOUSEDOWN;
        case InputEvent::MouseUp:
            return EVENT_MOUSEUP;
        case InputEvent::MouseMove:
            return EVENT_MOUSEMOVE;
        case InputEvent::MouseWheel:
            return EVENT_MOUSEWHEEL;
        case InputEvent::CloseRequest:
            return EVENT_APPTERMINATE;
    }
    return 0;
}

void EmitInput(InputEvent event, int32_t data, int32_t x, int32_t y) {
    TEvent::Create(EventId(event), nullptr, data, 0, x, y, nullptr)->Emit();
}

void DrainPosted() {
    PumpState& state = State();
    if (state.posted_count.load(std::memory_order_acquire) == 0) return;
    std::vector<PostedWork> work;
    {
        std::lock_guard lock(state.post_mutex);
        work.swap(state.posted);
        state.posted_count.store(0, std::memory_order_relaxed);
        int available = 0;
        if (ioctl(state.wake_read, FIONREAD, &available) == 0 && available > 0) {
            if (state.drain_buffer.size() < static_cast<size_t>(available)) {
                state.drain_buffer.resize(static_cast<size_t>(available));
            }
            // The wake bytes carry no information; a short read leaves the rest to wake the
            // next wait early, which is harmless.
            const ssize_t ignored =
                read(state.wake_read, state.drain_buffer.data(), static_cast<size_t>(available));
            (void)ignored;
        }
    }
    for (PostedWork& item : work)
        item.function(item.object, item.data);
}

}  // namespace

void OpenEventPump() {
    static const bool opened = [] {
        CurrentPlatform();
        PumpState& state = State();
        int fds[2];
        // Non-blocking both ways: a poster must never block while it holds the mutex,
        // even when nobody has emptied the pipe for a long time (the pending bytes
        // already guarantee the wake-up).
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            state.wake_read = fds[0];
            state.wake_write = fds[1];
        }
        return true;
    }();
    (void)opened;
}

void PumpEvents() {
    OpenEventPump();
    CurrentPlatform().Input().Pump(EmitInput);
    DrainPosted();
}

void WaitEvents() {
    OpenEventPump();
    CurrentPlatform().Input().Wait(State().wake_read, kLongestWaitMillis);
    PumpEvents();
}

void PostToMainThread(MainThreadFunction function, ObjectPtr object, void* data) {
    OpenEventPump();
    PumpState& state = State();
    std::lock_guard lock(state.post_mutex);
    state.posted.push_back(PostedWork{function, std::move(object), data});
    state.posted_count.fetch_add(1, std::memory_order_release);
    const char wake = 0;
    // A full pipe already holds a wake-up; nothing is lost when this write fails.
    const ssize_t ignored = write(state.wake_write, &wake, 1);
    (void)ignored;
}

}  // namespace vexel
