#include <gtest/gtest.h>

#include "system/event.h"
#include "system/for_testing.h"
#include "system/hook.h"
#include "system/internal/event_queue.h"

namespace vexel {
namespace {

class Events : public ::testing::Test {
  protected:
    void SetUp() override { ResetEventModuleForTesting(); }
};

TEST_F(Events, ToStringTexts) {
    EXPECT_EQ(NewEvent(EVENT_KEYDOWN, nullptr, 65, 0, 10, 20)->ToString(),
              u"KeyDown: data=65, mods=0, x=10, y=20, extra=\"\"");
    EXPECT_EQ(NewEvent(static_cast<int32_t>(0x80000003u))->ToString(),
              u"UserEvent3: data=0, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(NewEvent(12345, nullptr, -1)->ToString(),
              u"Unknown Event, id=12345: data=-1, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(NewEvent(EVENT_APPOPENFILE, nullptr, 0, 0, 0, 0,
                       std::make_shared<StringObject>(u"Datei.png"))
                  ->ToString(),
              u"AppOpenFile: data=0, mods=0, x=0, y=0, extra=\"Datei.png\"");
    EXPECT_EQ(NewEvent(EVENT_PROCESSEXIT)->ToString().substr(0, 12), u"ProcessExit:");
}

TEST_F(Events, UserIdsCountUpFromTheTopBitAndRegisterDescriptions) {
    EXPECT_EQ(static_cast<uint32_t>(NewUserEventId(u"")), 0x80000001u);
    const int32_t named = NewUserEventId(u"Explosion");
    EXPECT_EQ(static_cast<uint32_t>(named), 0x80000002u);
    EXPECT_EQ(TEvent::DescriptionForId(named), u"Explosion");
    EXPECT_EQ(TEvent::DescriptionForId(EVENT_TIMERTICK), u"TimerTick");
    EXPECT_EQ(TEvent::DescriptionForId(EVENT_WINDOWACCEPT), u"WindowAccept");
    EXPECT_EQ(TEvent::DescriptionForId(7), u"");
    EXPECT_EQ(NewEvent(named)->ToString().substr(0, 10), u"Explosion:");
}

TEST_F(Events, EmittingRunsTheEmitEventHooksAndQueuesTheEvent) {
    static int seen = 0;
    seen = 0;
    AttachHook(
        EmitEventHook(),
        [](int, const ObjectPtr& data, const ObjectPtr&) -> ObjectPtr {
            seen = std::static_pointer_cast<TEvent>(data)->data;
            return data;
        },
        nullptr, 0);
    DispatchEvent(NewEvent(EVENT_KEYDOWN, nullptr, 27));
    EXPECT_EQ(seen, 27);
    EXPECT_EQ(QueuedEventCount(), 1);
    EXPECT_EQ(FirstQueuedEvent()->data, 27);
    EXPECT_EQ(TakeEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(CurrentEventData(), 27);
    EXPECT_EQ(TakeEvent(), 0);
    EXPECT_EQ(CurrentEventId(), 0);
    EXPECT_EQ(FirstQueuedEvent(), nullptr);
}

TEST_F(Events, TimerTicksFromOneSourceRefreshASingleQueuedEntry) {
    const auto timer = std::make_shared<Object>();
    const auto other = std::make_shared<Object>();
    NewEvent(EVENT_TIMERTICK, timer, 1)->Emit();
    NewEvent(EVENT_KEYDOWN, nullptr, 65)->Emit();
    NewEvent(EVENT_TIMERTICK, timer, 2, 0, 3, 4)->Emit();
    NewEvent(EVENT_TIMERTICK, other, 9)->Emit();
    NewEvent(EVENT_KEYDOWN, nullptr, 66)->Emit();  // keys never coalesce
    EXPECT_EQ(QueuedEventCount(), 4);
    EXPECT_EQ(TakeEvent(), EVENT_TIMERTICK);
    EXPECT_EQ(CurrentEventData(), 2);
    EXPECT_EQ(CurrentEventX(), 3);
    EXPECT_EQ(CurrentEventY(), 4);
    EXPECT_EQ(CurrentEventSource(), timer);
    EXPECT_EQ(TakeEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(TakeEvent(), EVENT_TIMERTICK);
    EXPECT_EQ(CurrentEventSource(), other);
    EXPECT_EQ(TakeEvent(), EVENT_KEYDOWN);
    EXPECT_EQ(CurrentEventData(), 66);
}

TEST_F(Events, AFullQueueDropsNewEventsButStillRefreshesTicks) {
    const auto timer = std::make_shared<Object>();
    NewEvent(EVENT_TIMERTICK, timer, 0)->Emit();
    for (int i = 1; i < 300; ++i)
        NewEvent(EVENT_KEYCHAR, nullptr, i)->Emit();
    EXPECT_EQ(QueuedEventCount(), 256);
    NewEvent(EVENT_TIMERTICK, timer, 77)->Emit();
    EXPECT_EQ(TakeEvent(), EVENT_TIMERTICK);
    EXPECT_EQ(CurrentEventData(), 77);
    int last = 0;
    while (TakeEvent() != 0)
        last = CurrentEventData();
    EXPECT_EQ(last, 255);  // the 256th event; the rest were dropped
}

TEST_F(Events, CurrentEventTextIsTheExtraString) {
    NewEvent(EVENT_APPOPENFILE, nullptr, 0, 0, 0, 0, std::make_shared<StringObject>(u"x.png"))
        ->Emit();
    TakeEvent();
    EXPECT_EQ(CurrentEventText(), u"x.png");
}

}  // namespace
}  // namespace vexel
