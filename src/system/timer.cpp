#include "system/timer.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "runtime/startup.h"
#include "system/internal/event_pump.h"
#include "system/system_driver.h"

namespace vexel {

namespace {

enum TickerState : int { kRunning = 1, kStopped = 2 };

uint32_t Now() {
    return static_cast<uint32_t>(ElapsedMillis());
}

// Milliseconds from `from` to `to` on the wrapping 32-bit clock.
int32_t MillisBetween(uint32_t from, uint32_t to) {
    return static_cast<int32_t>(to - from);
}

}  // namespace

// The native side of a started timer, shared by its ticker thread and the main thread.
// Freed by the main thread once the timer is stopped and every post of the thread has been
// handled.
struct TickerRecord {
    std::atomic<int> state{kRunning};
    // Starts at 1 for the thread's final post; the thread adds 1 before each tick post.
    std::atomic<int32_t> posts_made{1};
    std::atomic<int32_t> posts_handled{0};
    uint32_t due_time = 0;  // ticker thread only after the start
    int32_t period = 0;
    TimerPtr timer;
};

namespace {

// Main thread, once per post of a ticker thread.
void HandleTick(const ObjectPtr&, void* data) {
    auto* record = static_cast<TickerRecord*>(data);
    const int32_t handled = record->posts_handled.fetch_add(1, std::memory_order_relaxed) + 1;
    if (record->state.load(std::memory_order_relaxed) == kRunning) {
        record->timer->Fire();
    } else if (handled == record->posts_made.load(std::memory_order_relaxed)) {
        record->timer = nullptr;
        delete record;
    }
}

// The ticker thread: the due time advances by whole periods from the start, so the rate
// does not drift with the time spent posting, and a ticker that fell behind posts its late
// ticks back to back.
void RunTicker(TickerRecord* record) {
    while (record->state.load(std::memory_order_relaxed) == kRunning) {
        record->due_time += static_cast<uint32_t>(record->period);
        SleepMillis(MillisBetween(Now(), record->due_time));
        record->posts_made.fetch_add(1, std::memory_order_relaxed);
        PostToMainThread(HandleTick, nullptr, record);
    }
    PostToMainThread(HandleTick, nullptr, record);
}

}  // namespace

TimerPtr TTimer::Create(float hertz, const EventPtr& event) {
    auto timer = std::make_shared<TTimer>();
    OpenEventPump();  // the post queue must exist before the thread posts to it
    auto* record = new TickerRecord;
    record->due_time = Now();
    record->period = static_cast<int32_t>(1000.0 / static_cast<double>(hertz));
    record->timer = timer;
    try {
        std::thread(RunTicker, record).detach();
    } catch (const std::system_error&) {
        delete record;
        return nullptr;
    }
    timer->_event = event;
    timer->_handle = record;
    return timer;
}

int32_t TTimer::Ticks() {
    return _ticks;
}

void TTimer::Stop() {
    if (!_handle) return;
    _handle->state.store(kStopped, std::memory_order_relaxed);
    _handle = nullptr;
    _event = nullptr;
}

void TTimer::Fire() {
    if (!_handle) return;
    ++_ticks;
    if (_event) {
        _event->Emit();
    } else {
        TEvent::Create(EVENT_TIMERTICK, shared_from_this(), _ticks)->Emit();
    }
}

int32_t TTimer::Wait() {
    // Ticks counted before a Stop are not handed out any more.
    if (!_handle) return 0;
    // Also ends when a hook stops the timer while we wait.
    while (_handle && _ticks == _wticks)
        AwaitSystem();
    const int32_t ticks = _ticks - _wticks;
    _wticks += ticks;
    return ticks;
}

TimerPtr StartTimer(float hertz, const EventPtr& event) {
    return TTimer::Create(hertz, event);
}
int32_t TimerTickCount(const TimerPtr& timer) {
    return timer->Ticks();
}
int32_t AwaitTimer(const TimerPtr& timer) {
    return timer->Wait();
}
void HaltTimer(const TimerPtr& timer) {
    timer->Stop();
}

void SleepMillis(int32_t millis) {
    if (millis < 0) return;
    const uint32_t end = Now() + static_cast<uint32_t>(millis);
    bool slept = false;
    for (int32_t left = MillisBetween(Now(), end); left > 0; left = MillisBetween(Now(), end)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
        slept = true;
    }
    if (!slept) std::this_thread::sleep_for(std::chrono::microseconds(0));
}

}  // namespace vexel
