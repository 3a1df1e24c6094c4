#include "system/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/startup.h"
#include "system/event.h"
#include "system/event_queue.h"
#include "system/for_testing.h"
#include "system/hook.h"
#include "system/system_driver.h"

namespace vexel {
namespace {

// Wall-clock bounds here are one-sided where they can be (a tick is never early); where a
// count needs the ticker to have kept up, a little lag is allowed: the test command runs two
// tests at a time on two cores, under the sanitizers, and the ticker thread may then post its
// last tick or two late.

// Each test starts from an empty event queue without hooks: a stopped timer of an earlier
// test may have left its last tick queued.
class Timers : public ::testing::Test {
  protected:
    void SetUp() override { ResetEventModuleForTesting(); }
};

TEST_F(Timers, SixtyHertzTicksEverySixteenMilliseconds) {
    const int32_t start = ElapsedMillis();
    const TimerPtr timer = StartTimer(60, nullptr);
    ASSERT_TRUE(timer);
    SleepMillis(1000);  // the main thread is busy: ticks queue up
    EXPECT_EQ(timer->Ticks(), 0);
    const int32_t before = ElapsedMillis() - start;
    PumpSystem();
    const int32_t after = ElapsedMillis() - start;
    // 16 ms, not 1000 / 60: over one second 62 ticks, where 16.67 ms would give 60.
    EXPECT_LE(timer->Ticks(), after / 16);
    EXPECT_GE(timer->Ticks(), before / 16 - 2);
    EXPECT_GE(timer->Ticks(), 61);  // more than a 16.67 ms period could give
    timer->Stop();
}

TEST_F(Timers, WaitAfterALongFrameReturnsTheTicksMissed) {
    const TimerPtr timer = StartTimer(60, nullptr);
    EXPECT_GE(timer->Wait(), 1);
    SleepMillis(40);
    EXPECT_GE(timer->Wait(), 2);
    EXPECT_GE(timer->Wait(), 1);
    timer->Stop();
}

TEST_F(Timers, TicksAreNeverEarly) {
    const int32_t start = ElapsedMillis();
    const TimerPtr timer = StartTimer(50, nullptr);  // 20 ms
    int32_t counted = 0;
    while (counted < 10) {
        counted += timer->Wait();
        EXPECT_GE(ElapsedMillis() - start, counted * 20) << "tick " << counted;
    }
    timer->Stop();
}

// AwaitEvent takes what is queued at once, and otherwise sleeps until a tick is emitted.
TEST_F(Timers, AwaitEventTakesQueuedEventsThenWaitsForATick) {
    NewEvent(EVENT_KEYDOWN, nullptr, 65)->Emit();
    // Read before the start: the period runs from the moment the timer starts.
    const int32_t start = ElapsedMillis();
    const TimerPtr timer = StartTimer(50, nullptr);  // 20 ms
    EXPECT_EQ(AwaitEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(CurrentEventData(), 65);
    EXPECT_EQ(AwaitEvent(), EVENT_TIMERTICK);
    EXPECT_GE(ElapsedMillis() - start, 20);  // a tick is never early
    EXPECT_EQ(CurrentEventSource(), timer);
    EXPECT_GE(CurrentEventData(), 1);
    EXPECT_EQ(QueuedEventCount(), 0);
    timer->Stop();
}

TEST_F(Timers, StoppedTimersReturnAtOnceAndStopTwiceIsHarmless) {
    const TimerPtr timer = StartTimer(60, nullptr);
    // Ticks counted but not yet waited for are dropped by the stop.
    SleepMillis(40);
    PumpSystem();
    ASSERT_GE(timer->Ticks(), 1);
    timer->Stop();
    EXPECT_EQ(timer->Wait(), 0);
    timer->Stop();
    timer->Stop();
    SleepMillis(40);
    EXPECT_EQ(timer->Wait(), 0);
    const int32_t ticks = timer->Ticks();
    SleepMillis(40);
    PumpSystem();
    EXPECT_EQ(timer->Ticks(), ticks);  // posts after the stop are not counted
}

TEST_F(Timers, AStoppedTimersRecordIsFreedOnceItsPostsAreHandled) {
    std::weak_ptr<TTimer> watch;
    {
        // With an event of its own, so that the event queue holds no tick whose source is
        // the timer.
        const TimerPtr timer = StartTimer(100, NewEvent(0x12346));
        watch = timer;
        timer->Wait();
        timer->Stop();
    }
    // The record still holds the timer until the thread's last post has been handled.
    EXPECT_FALSE(watch.expired());
    const int32_t start = ElapsedMillis();
    while (!watch.expired() && ElapsedMillis() - start < 20000)
        AwaitSystem();
    EXPECT_TRUE(watch.expired());
}

TEST_F(Timers, ARunningTimerStaysAliveWithoutOtherReferences) {
    std::weak_ptr<TTimer> watch = StartTimer(100, nullptr);
    SleepMillis(30);
    PumpSystem();
    ASSERT_FALSE(watch.expired());
    watch.lock()->Stop();
}

// What was emitted, as it was at the time: the event queue later folds the data of newer
// ticks into the one tick event it keeps.
struct Emitted {
    EventPtr event;
    int32_t id;
    ObjectPtr source;
    int32_t data;
};
std::vector<Emitted> emitted;
ObjectPtr RecordTicks(int, const ObjectPtr& data, const ObjectPtr&) {
    const auto event = std::static_pointer_cast<TEvent>(data);
    if (event->id == EVENT_TIMERTICK || event->id == 0x12345) {
        emitted.push_back({event, event->id, event->source, event->data});
    }
    return data;
}

TEST_F(Timers, EachTickEmitsTheTimersEvent) {
    emitted.clear();
    AttachHook(EmitEventHook(), RecordTicks, nullptr, 100);
    const EventPtr mine = NewEvent(0x12345, nullptr, 7);
    const TimerPtr with_event = StartTimer(100, mine);
    while (with_event->Ticks() < 3)
        with_event->Wait();
    with_event->Stop();
    ASSERT_EQ(emitted.size(), static_cast<size_t>(with_event->Ticks()));
    for (const Emitted& tick : emitted)
        EXPECT_EQ(tick.event, mine);

    emitted.clear();
    const TimerPtr plain = StartTimer(100, nullptr);
    while (plain->Ticks() < 3)
        plain->Wait();
    plain->Stop();
    DetachHook(EmitEventHook(), RecordTicks, nullptr);
    ASSERT_EQ(emitted.size(), static_cast<size_t>(plain->Ticks()));
    for (size_t i = 0; i < emitted.size(); ++i) {
        EXPECT_EQ(emitted[i].id, EVENT_TIMERTICK);
        EXPECT_EQ(emitted[i].source, plain);
        EXPECT_EQ(emitted[i].data, static_cast<int32_t>(i + 1));
    }
}

TEST(SleepMillis, SleepsAtLeastTheTimeAskedAndNotAtAllWhenNegative) {
    int32_t start = ElapsedMillis();
    SleepMillis(30);
    EXPECT_GE(ElapsedMillis() - start, 30);
    start = ElapsedMillis();
    SleepMillis(-1000);
    SleepMillis(0);
    EXPECT_LT(ElapsedMillis() - start, 1000);
}

}  // namespace
}  // namespace vexel
