// The system driver without an X display: everything stays usable, answering from the
// empty input state, and posted work still runs.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/x11/x11_connection.h"
#include "system/internal/event_pump.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace vexel {
namespace {

// Before main, so that the driver never sees a display.
const bool display_unset = [] {
    unsetenv("DISPLAY");
    return true;
}();

TEST(NoDisplay, QueriesAnswerFromTheEmptyState) {
    ASSERT_TRUE(display_unset);
    EXPECT_EQ(SystemDisplay(), nullptr);
    StartInputPolling(nullptr);
    EXPECT_EQ(KeyWasHit(27), 0);
    EXPECT_EQ(MouseXPos(), 0);
    EXPECT_EQ(NextTypedChar(), 0);
    EXPECT_EQ(AppTerminateRequested(), 0);
    MoveMousePointer(10, 10);
    HideMousePointer();
    ShowMousePointer();
    StopInputPolling();
}

TEST(NoDisplay, WaitsReturnAndPostedWorkRuns) {
    static int runs = 0;
    PostToMainThread([](const ObjectPtr&, void*) { ++runs; }, nullptr, nullptr);
    AwaitSystem();
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace vexel
