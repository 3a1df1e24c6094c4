#include "system/polled_input.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "system/event.h"
#include "system/system_driver.h"
#include "system/x_glue.h"
#include "x_test_support.h"

namespace vexel {
namespace {

using testing::XInjector;

class PolledInput : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::HaveDisplay()) GTEST_SKIP() << "no X display (set DISPLAY)";
        window_ = std::make_unique<testing::PlainInputWindow>();
        injector_ = std::make_unique<XInjector>();
        injector_->MoveTo(100, 100);
        injector_->Sync();
        PumpSystem();
        StartInputPolling(nullptr);
    }
    void TearDown() override {
        StopInputPolling();
        injector_.reset();
        window_.reset();
    }

    XInjector& inject() { return *injector_; }

    // Everything typed so far, in order.
    std::vector<int32_t> TypedCharacters() {
        std::vector<int32_t> typed;
        while (const int32_t c = NextTypedChar())
            typed.push_back(c);
        return typed;
    }

  private:
    std::unique_ptr<testing::PlainInputWindow> window_;
    std::unique_ptr<XInjector> injector_;
};

TEST_F(PolledInput, EscapePressedAndReleasedBetweenQueriesIsOneHit) {
    inject().Tap(XK_Escape);
    inject().Sync();
    EXPECT_EQ(KeyWasHit(27), 1);
    EXPECT_EQ(KeyIsDown(27), 0);
    EXPECT_EQ(KeyWasHit(27), 0);
    EXPECT_EQ(TypedCharacters(), std::vector<int32_t>{27});
}

TEST_F(PolledInput, HeldKeyIsDownUntilReleased) {
    inject().Key(XK_Left, true);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(37), 1);
    EXPECT_EQ(KeyWasHit(37), 1);
    inject().Key(XK_Left, false);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(37), 0);
    EXPECT_EQ(KeyWasHit(37), 0);
}

TEST_F(PolledInput, AutoRepeatIsOneHitWithCharactersPerRepeat) {
    // The server's auto-repeat sends a release and a press of the same key back to back.
    inject().Key(XK_x, true);
    for (int repeat = 0; repeat < 3; ++repeat) {
        inject().Key(XK_x, false);
        inject().Key(XK_x, true);
    }
    inject().Sync();
    EXPECT_EQ(KeyWasHit(88), 1);
    EXPECT_EQ(KeyIsDown(88), 1);
    EXPECT_EQ(TypedCharacters(), (std::vector<int32_t>{'x', 'x', 'x', 'x'}));
    inject().Key(XK_x, false);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(88), 0);
    EXPECT_EQ(KeyWasHit(88), 0);
}

TEST_F(PolledInput, KeyHeldPastTheServersRepeatDelayIsStillOneHit) {
    // The server starts repeating after 660 ms, then 25 times a second.
    inject().Key(XK_x, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    inject().Sync();
    EXPECT_EQ(KeyWasHit(88), 1);
    EXPECT_EQ(KeyIsDown(88), 1);
    const std::vector<int32_t> typed = TypedCharacters();
    EXPECT_GE(typed.size(), 2u);
    EXPECT_EQ(std::count(typed.begin(), typed.end(), 'x'), static_cast<long>(typed.size()));
    inject().Key(XK_x, false);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(88), 0);
    EXPECT_EQ(KeyWasHit(88), 0);
}

TEST_F(PolledInput, TypedCharactersKeepTheFirst256InOrder) {
    for (int i = 0; i < 300; ++i)
        inject().Tap(XK_a + i % 26);
    inject().Sync();
    const std::vector<int32_t> typed = TypedCharacters();
    ASSERT_EQ(typed.size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(typed[i], 'a' + i % 26) << "character " << i;
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(KeyWasHit(65), 12);  // a at 0, 26, ..., 286
}

TEST_F(PolledInput, ShiftedKeysKeepTheirKeyCode) {
    inject().Key(XK_Shift_L, true);
    inject().Tap(XK_b);
    inject().Tap(XK_1);
    inject().Key(XK_Shift_L, false);
    inject().Tap(XK_b);
    inject().Sync();
    EXPECT_EQ(KeyWasHit(160), 1);
    EXPECT_EQ(KeyWasHit(66), 2);
    EXPECT_EQ(KeyWasHit(49), 1);
    EXPECT_EQ(TypedCharacters(), (std::vector<int32_t>{'B', '!', 'b'}));
}

TEST_F(PolledInput, NonAsciiLettersArriveAsLatin1Codes) {
    inject().Tap(XK_udiaeresis);
    inject().Key(XK_Shift_L, true);
    inject().Tap(XK_udiaeresis);
    inject().Key(XK_Shift_L, false);
    inject().Sync();
    EXPECT_EQ(TypedCharacters(), (std::vector<int32_t>{252, 220}));
}

TEST_F(PolledInput, KeyTranslationFollowsTheVirtualKeyNumbering) {
    const std::pair<unsigned long, int32_t> keys[] = {
        {XK_BackSpace, 8},     {XK_Tab, 9},         {XK_Return, 13},
        {XK_space, 32},        {XK_Prior, 33},      {XK_Next, 34},
        {XK_End, 35},          {XK_Home, 36},       {XK_Down, 40},
        {XK_Delete, 46},       {XK_0, 48},          {XK_z, 90},
        {XK_KP_Insert, 96},    {XK_KP_Delete, 110}, {XK_KP_Multiply, 106},
        {XK_KP_Divide, 111},   {XK_F1, 112},        {XK_F12, 123},
        {XK_Num_Lock, 144},    {XK_Control_R, 163}, {XK_Alt_L, 164},
        {XK_Super_L, 91},      {XK_comma, 188},     {XK_minus, 189},
        {XK_bracketleft, 219}, {XK_backslash, 226}, {XK_grave, 192},
        {XK_Print, 42},        {XK_Insert, 45},     {XK_Menu, 93},
        {XK_KP_Enter, 13},
    };
    for (const auto& [keysym, code] : keys) {
        EXPECT_EQ(KeyCodeForKeysym(keysym), code) << "keysym 0x" << std::hex << keysym;
    }
}

TEST_F(PolledInput, ButtonsAreLeftRightMiddle) {
    inject().Click(1);
    inject().Click(3);
    inject().Click(3);
    inject().Button(2, true);
    inject().Sync();
    EXPECT_EQ(MouseWasHit(1), 1);
    EXPECT_EQ(MouseWasHit(2), 2);
    EXPECT_EQ(MouseWasHit(3), 1);
    EXPECT_EQ(MouseIsDown(3), 1);
    EXPECT_EQ(MouseIsDown(2), 0);
    inject().Button(2, false);
    inject().Sync();
    EXPECT_EQ(MouseIsDown(3), 0);
    EXPECT_EQ(MouseWasHit(3), 0);
}

TEST_F(PolledInput, WheelNotchesMoveOnlyTheWheel) {
    inject().Click(4);
    inject().Click(4);
    inject().Click(5);
    inject().Sync();
    EXPECT_EQ(MouseWheelPos(), 1);
    for (int button = 0; button < 4; ++button) {
        EXPECT_EQ(MouseWasHit(button), 0);
        EXPECT_EQ(MouseIsDown(button), 0);
    }
}

TEST_F(PolledInput, ButtonsSixAndAboveTouchNothing) {
    inject().Click(6);
    inject().Click(7);
    inject().Button(8, true);
    inject().Sync();
    EXPECT_EQ(MouseWheelPos(), 0);
    for (int button = 0; button < 4; ++button) {
        EXPECT_EQ(MouseWasHit(button), 0) << button;
        EXPECT_EQ(MouseIsDown(button), 0) << button;
    }
    inject().Button(8, false);
    inject().Sync();
}

TEST_F(PolledInput, PointerPositionAndDeltas) {
    inject().MoveTo(50, 60);
    inject().Sync();
    EXPECT_EQ(MouseXPos(), 50);
    EXPECT_EQ(MouseYPos(), 60);
    // The first delta is the value itself.
    EXPECT_EQ(MouseXDelta(), 50);
    EXPECT_EQ(MouseYDelta(), 60);
    inject().MoveTo(45, 80);
    inject().Sync();
    EXPECT_EQ(MouseXDelta(), -5);
    EXPECT_EQ(MouseYDelta(), 20);
    EXPECT_EQ(MouseXDelta(), 0);
}

TEST_F(PolledInput, FlushInputKeepsTheMouseAndFlushMouseInputResetsTheWheel) {
    inject().Button(3, true);
    inject().Tap(XK_q);
    inject().Click(4);
    inject().Click(4);
    inject().Sync();
    EXPECT_EQ(MouseWheelDelta(), 2);
    FlushInput();
    EXPECT_EQ(KeyWasHit(81), 0);
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(MouseIsDown(2), 1);
    EXPECT_EQ(MouseWheelPos(), 2);
    FlushMouseInput();
    EXPECT_EQ(MouseIsDown(2), 0);
    EXPECT_EQ(MouseWasHit(2), 0);
    EXPECT_EQ(MouseWheelPos(), 0);
    EXPECT_EQ(MouseWheelDelta(), -2);
    inject().Button(3, false);
    inject().Sync();
}

TEST_F(PolledInput, CloseRequestIsReportedOnce) {
    inject().RequestClose(InputWindow());
    inject().Sync();
    EXPECT_EQ(AppTerminateRequested(), 1);
    EXPECT_EQ(AppTerminateRequested(), 0);
}

TEST_F(PolledInput, NothingIsRecordedAfterPollingStops) {
    StopInputPolling();
    inject().Tap(XK_Escape);
    inject().Click(1);
    inject().Sync();
    EXPECT_EQ(KeyWasHit(27), 0);
    EXPECT_EQ(MouseWasHit(1), 0);
    EXPECT_EQ(NextTypedChar(), 0);
}

TEST_F(PolledInput, EventsFromOtherSourcesAreIgnoredWhenASourceIsSet) {
    StopInputPolling();
    const auto source = std::make_shared<Object>();
    StartInputPolling(source);
    inject().Tap(XK_Escape);
    inject().Sync();
    NewEvent(EVENT_KEYDOWN, source, 13)->Emit();
    EXPECT_EQ(KeyWasHit(27), 0);
    EXPECT_EQ(KeyWasHit(13), 1);
}

TEST_F(PolledInput, WaitForKeyReturnsTheKeyPressedLater) {
    std::thread typist([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        XInjector other;
        other.Tap(XK_space);
        XSync(other.display(), False);
    });
    EXPECT_EQ(WaitForKey(), 32);
    typist.join();
}

TEST_F(PolledInput, MoveMousePointerWarpsWithinTheInputWindow) {
    MoveMousePointer(30, 40);
    inject().Sync();
    Window root, child;
    int root_x, root_y, x, y;
    unsigned int mask;
    XQueryPointer(inject().display(), InputWindow(), &root, &child, &root_x, &root_y, &x, &y,
                  &mask);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    EXPECT_EQ(MouseXPos(), 30);
    EXPECT_EQ(MouseYPos(), 40);
}

}  // namespace
}  // namespace vexel
