// Without an X display the graphics layer answers Null instead of a dead context, so a
// program can report that it cannot open the display.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "graphics/gl/gl_graphics.h"
#include "graphics/graphics.h"

namespace vexel {
namespace {

// Before main, so that the system driver never sees a display.
const bool display_unset = [] {
    unsetenv("DISPLAY");
    return true;
}();

TEST(GraphicsWithoutDisplay, OpenGraphicsReturnsNullAndNothingChanges) {
    ASSERT_TRUE(display_unset);
    const int32_t generation = GraphicsGeneration();
    EXPECT_EQ(OpenGLGraphics(1024, 512, 0, 60, 0), nullptr);
    EXPECT_EQ(OpenGraphics(1024, 512, 24, 60, 0), nullptr);
    EXPECT_EQ(OpenedGraphics(), nullptr);
    EXPECT_EQ(CurrentGraphics(), nullptr);
    EXPECT_EQ(GraphicsGeneration(), generation + 1);  // only the driver selection
    EXPECT_EQ(GraphicsModeCount(), 0);
    EXPECT_EQ(HasGraphicsMode(0, 0, 0, 0), 0);
    FlipGraphics(-1);  // nothing current: nothing happens
}

}  // namespace
}  // namespace vexel
