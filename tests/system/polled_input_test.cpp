#include "system/polled_input.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

// After gtest: Xlib defines None as a macro, which gtest uses as a type name.
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/x11/x11_connection.h"
#include "system/event.h"
#include "system/internal/event_pump.h"
#include "system/system_driver.h"
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
    // The named codes are the ones those keys produce.
    const std::pair<unsigned long, int32_t> named[] = {
        {XK_Escape, KEY_ESCAPE},
        {XK_Return, KEY_ENTER},
        {XK_BackSpace, KEY_BACKSPACE},
        {XK_space, KEY_SPACE},
        {XK_a, KEY_A},
        {XK_z, KEY_Z},
        {XK_Tab, KEY_TAB},
        {XK_0, KEY_0},
        {XK_9, KEY_9},
        {XK_Left, KEY_LEFT},
        {XK_Up, KEY_UP},
        {XK_Right, KEY_RIGHT},
        {XK_Down, KEY_DOWN},
        {XK_Prior, KEY_PAGE_UP},
        {XK_Next, KEY_PAGE_DOWN},
        {XK_Home, KEY_HOME},
        {XK_End, KEY_END},
        {XK_Insert, KEY_INSERT},
        {XK_Delete, KEY_DELETE},
        {XK_KP_Insert, KEY_NUM0},
        {XK_KP_End, KEY_NUM1},
        {XK_KP_Begin, KEY_NUM5},
        {XK_KP_Page_Up, KEY_NUM9},
        {XK_KP_Multiply, KEY_NUMMULTIPLY},
        {XK_KP_Add, KEY_NUMADD},
        {XK_KP_Subtract, KEY_NUMSUBTRACT},
        {XK_KP_Delete, KEY_NUMDECIMAL},
        {XK_KP_Divide, KEY_NUMDIVIDE},
        {XK_F1, KEY_F1},
        {XK_F11, KEY_F11},
        {XK_F12, KEY_F12},
    };
    for (const auto& [keysym, code] : named)
        EXPECT_EQ(KeyCodeForKeysym(keysym), code);
}

TEST_F(PolledInput, ButtonsAreLeftRightMiddle) {
    inject().Click(1);
    inject().Click(3);
    inject().Click(3);
    inject().Button(2, true);
    inject().Sync();
    EXPECT_EQ(MouseWasHit(MOUSE_LEFT), 1);
    EXPECT_EQ(MouseWasHit(MOUSE_RIGHT), 2);
    EXPECT_EQ(MouseWasHit(MOUSE_MIDDLE), 1);
    EXPECT_EQ(MouseIsDown(MOUSE_MIDDLE), 1);
    EXPECT_EQ(MouseIsDown(MOUSE_RIGHT), 0);
    inject().Button(2, false);
    inject().Sync();
    EXPECT_EQ(MouseIsDown(MOUSE_MIDDLE), 0);
    EXPECT_EQ(MouseWasHit(MOUSE_MIDDLE), 0);
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

// Runs `inject` on a second thread every 50 ms until the main thread's wait has returned.
// Input injected before the wait began is flushed by the wait, so one injection is not
// enough when the main thread is slow to get there.
template <typename Inject>
class RepeatedInjection {
  public:
    explicit RepeatedInjection(Inject inject)
        : thread_([this, inject] {
              XInjector other;
              while (!done_) {
                  inject(other);
                  XSync(other.display(), False);
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~RepeatedInjection() {
        done_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST_F(PolledInput, WaitForKeyReturnsTheKeyPressedLater) {
    RepeatedInjection typist([](XInjector& other) { other.Tap(XK_space); });
    EXPECT_EQ(WaitForKey(), 32);
}

TEST_F(PolledInput, WaitForTypedCharReturnsTheCharacterTypedLater) {
    RepeatedInjection typist([](XInjector& other) { other.Tap(XK_udiaeresis); });
    EXPECT_EQ(WaitForTypedChar(), 252);
}

TEST_F(PolledInput, WaitForMouseReturnsTheButtonClickedLater) {
    RepeatedInjection clicker([](XInjector& other) { other.Click(3); });
    EXPECT_EQ(WaitForMouse(), 2);
}

// Events emitted in steps on the main thread: each step runs from the post queue, emits its
// events and posts the next step, which then runs on the following pump. A wait's own
// flush pumps once, so the first step's events are the ones a wait must forget.
struct EmittedEvent {
    int32_t id, data;
};
std::vector<std::vector<EmittedEvent>> script;

void RunScriptStep(const ObjectPtr&, void* data) {
    const size_t step = reinterpret_cast<size_t>(data);
    for (const EmittedEvent& event : script[step])
        NewEvent(event.id, nullptr, event.data)->Emit();
    if (step + 1 < script.size()) {
        PostToMainThread(RunScriptStep, nullptr, reinterpret_cast<void*>(step + 1));
    }
}

void PlayScript(std::vector<std::vector<EmittedEvent>> steps) {
    script = std::move(steps);
    PostToMainThread(RunScriptStep, nullptr, nullptr);
}

TEST_F(PolledInput, WaitForKeyForgetsEarlierKeysAndReturnsTheLowestCodeHit) {
    PlayScript({
        {{EVENT_KEYDOWN, 27}},                         // before the wait: flushed
        {{EVENT_MOUSEDOWN, 1}, {EVENT_KEYCHAR, 'a'}},  // no key hit yet
        {{EVENT_KEYDOWN, 65}, {EVENT_KEYDOWN, 13}},
    });
    EXPECT_EQ(WaitForKey(), 13);
    EXPECT_EQ(KeyWasHit(65), 1);
    EXPECT_EQ(KeyWasHit(27), 0);
    EXPECT_EQ(MouseWasHit(1), 1);
    EXPECT_EQ(NextTypedChar(), 'a');
}

TEST_F(PolledInput, WaitForTypedCharForgetsEarlierCharactersButNotTheMouse) {
    PlayScript({
        {{EVENT_KEYCHAR, 'x'}, {EVENT_MOUSEDOWN, 3}},  // before the wait
        {{EVENT_KEYDOWN, 160}},                        // Shift types nothing
        {{EVENT_KEYCHAR, 252}, {EVENT_KEYCHAR, 'b'}},
    });
    EXPECT_EQ(WaitForTypedChar(), 252);
    EXPECT_EQ(NextTypedChar(), 'b');
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(KeyWasHit(160), 1);
    EXPECT_EQ(MouseWasHit(3), 1);
    EXPECT_EQ(MouseIsDown(3), 1);
}

TEST_F(PolledInput, WaitForMouseForgetsEarlierButtonsButNotTheKeys) {
    PlayScript({
        {{EVENT_MOUSEDOWN, 1}, {EVENT_MOUSEWHEEL, 3}, {EVENT_KEYDOWN, 27}},  // before the wait
        {{EVENT_MOUSEWHEEL, 1}, {EVENT_MOUSEMOVE, 0}},                       // no button yet
        {{EVENT_MOUSEDOWN, 3}, {EVENT_MOUSEDOWN, 2}},
    });
    EXPECT_EQ(WaitForMouse(), 2);
    EXPECT_EQ(MouseWasHit(3), 1);
    EXPECT_EQ(MouseWasHit(1), 0);
    EXPECT_EQ(MouseIsDown(1), 0);
    EXPECT_EQ(MouseWheelPos(), 1);
    EXPECT_EQ(KeyWasHit(27), 1);
}

TEST_F(PolledInput, SuspendAndResumeForgetHeldInputAndKeepThePointer) {
    inject().Key(XK_x, true);
    inject().Button(1, true);
    inject().Click(4);
    inject().Click(4);
    inject().MoveTo(50, 60);
    inject().Sync();
    MouseXDelta();  // the references are kept by every flush
    EXPECT_EQ(MouseWheelDelta(), 2);
    NewEvent(EVENT_APPTERMINATE)->Emit();
    NewEvent(EVENT_APPSUSPEND)->Emit();

    EXPECT_EQ(AppIsSuspended(), 1);
    EXPECT_EQ(AppIsSuspended(), 1);  // not cleared by reading
    EXPECT_EQ(KeyIsDown(88), 0);
    EXPECT_EQ(KeyWasHit(88), 0);
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(MouseIsDown(1), 0);
    EXPECT_EQ(MouseWasHit(1), 0);
    EXPECT_EQ(MouseWheelPos(), 0);
    EXPECT_EQ(MouseWheelDelta(), -2);
    EXPECT_EQ(MouseXPos(), 50);
    EXPECT_EQ(MouseYPos(), 60);
    EXPECT_EQ(MouseXDelta(), 0);
    EXPECT_EQ(AppTerminateRequested(), 1);

    // Input is still recorded while suspended; a release of a key that was held across the
    // suspend changes nothing, and pressing it again is a new hit.
    inject().Key(XK_x, false);
    inject().Button(1, false);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(88), 0);
    EXPECT_EQ(MouseIsDown(1), 0);
    inject().Key(XK_x, true);
    inject().Tap(XK_q);
    inject().Click(5);
    inject().Sync();
    EXPECT_EQ(KeyWasHit(88), 1);
    EXPECT_EQ(KeyIsDown(88), 1);
    EXPECT_EQ(MouseWheelPos(), -1);

    NewEvent(EVENT_APPRESUME)->Emit();
    EXPECT_EQ(AppIsSuspended(), 0);
    EXPECT_EQ(KeyIsDown(88), 0);
    EXPECT_EQ(KeyWasHit(81), 0);
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(MouseWheelPos(), 0);
    EXPECT_EQ(MouseXPos(), 50);
    inject().Key(XK_x, false);
    inject().Sync();
}

// Only AppSuspend and AppResume events suspend; the X focus moving away emits neither.
TEST_F(PolledInput, FocusLeavingTheWindowDoesNotSuspend) {
    inject().Key(XK_x, true);
    inject().Sync();
    XSetInputFocus(inject().display(), None, RevertToNone, CurrentTime);
    inject().Sync();
    EXPECT_EQ(AppIsSuspended(), 0);
    EXPECT_EQ(KeyIsDown(88), 1);
    XSetInputFocus(inject().display(), InputWindow(), RevertToParent, CurrentTime);
    inject().Sync();
    EXPECT_EQ(AppIsSuspended(), 0);
    inject().Key(XK_x, false);
    inject().Sync();
    EXPECT_EQ(KeyIsDown(88), 0);
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

// The cursor the server shows at the pointer, read through XFixes from the second
// connection: its serial (one per cursor made), size, hot spot and whether any pixel of it
// can be seen.
struct ShownCursor {
    unsigned long serial = 0;
    int width = 0, height = 0, hot_x = -1, hot_y = -1;
    bool visible = false;
};

ShownCursor CursorShown(Display* display) {
    ShownCursor shown;
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (!image) return shown;
    shown.serial = image->cursor_serial;
    shown.width = image->width;
    shown.height = image->height;
    shown.hot_x = image->xhot;
    shown.hot_y = image->yhot;
    for (int i = 0; i < image->width * image->height; ++i) {
        if (image->pixels[i] >> 24) shown.visible = true;  // any alpha
    }
    XFree(image);
    return shown;
}

TEST_F(PolledInput, HiddenPointerShowsTheBlankCursorOverTheInputWindow) {
    int event_base, error_base;
    if (!XFixesQueryExtension(inject().display(), &event_base, &error_base)) {
        GTEST_SKIP() << "the X server has no XFIXES extension";
    }
    // The pointer rests at (100, 100), inside the input window.
    const ShownCursor normal = CursorShown(inject().display());
    ASSERT_TRUE(normal.visible);

    HideMousePointer();
    inject().Sync();
    const ShownCursor blank = CursorShown(inject().display());
    EXPECT_NE(blank.serial, normal.serial);
    EXPECT_EQ(blank.width, 8);
    EXPECT_EQ(blank.height, 8);
    EXPECT_EQ(blank.hot_x, 0);
    EXPECT_EQ(blank.hot_y, 0);
    EXPECT_FALSE(blank.visible);

    ShowMousePointer();
    inject().Sync();
    EXPECT_EQ(CursorShown(inject().display()).serial, normal.serial);

    // The blank cursor is made once and reused.
    HideMousePointer();
    inject().Sync();
    EXPECT_EQ(CursorShown(inject().display()).serial, blank.serial);
    ShowMousePointer();

    // Without an input window there is nothing to change.
    const Window window = InputWindow();
    SetInputWindow(0);
    HideMousePointer();
    inject().Sync();
    EXPECT_EQ(CursorShown(inject().display()).serial, normal.serial);
    SetInputWindow(window);
}

}  // namespace
}  // namespace vexel
