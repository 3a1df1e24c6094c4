#pragma once

#include "runtime/cxx_standard.h"

#include <atomic>
#include <cstdint>
#include <memory>

#include "runtime/object.h"
#include "system/event.h"

namespace vexel {

struct TickerRecord;

// A periodic timer. A ticker thread per timer sleeps until each tick is due and posts it to
// the main thread, where it is counted and announced when the main thread next pumps the
// system. Every method is main-thread only.
class TTimer : public Object {
  public:
    // A timer ticking every truncate(1000 / hertz) milliseconds from now, or null when its
    // thread cannot be started. Each tick emits `event`, or a fresh TimerTick event (source
    // the timer, data the tick count) when `event` is null. `hertz` must be positive.
    static std::shared_ptr<TTimer> Create(float hertz, const EventPtr& event);

    // The ticks counted so far.
    virtual int32_t Ticks();
    // Stops ticking for good. The ticker thread and its record go away on their own.
    virtual void Stop();
    // Counts one tick and emits its event (called for each tick that arrives).
    virtual void Fire();
    // Waits until at least one tick arrived since the previous Wait and returns how many;
    // 0 at once for a stopped timer.
    virtual int32_t Wait();

    int32_t _ticks = 0;
    int32_t _wticks = 0;
    std::shared_ptr<TTimer> _cycle;
    EventPtr _event;
    TickerRecord* _handle = nullptr;
};

using TimerPtr = std::shared_ptr<TTimer>;

// TTimer::Create, and a timer's Ticks, Wait and Stop.
// @{
TimerPtr StartTimer(float hertz, const EventPtr& event);
int32_t TimerTickCount(const TimerPtr& timer);
int32_t AwaitTimer(const TimerPtr& timer);
void HaltTimer(const TimerPtr& timer);
// @}

// Blocks the calling thread for `millis` milliseconds of the elapsed-time clock; returns at
// once for a negative count and yields once for 0. Any thread.
void SleepMillis(int32_t millis);

}  // namespace vexel
