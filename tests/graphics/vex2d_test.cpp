#include "graphics/vex2d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graphics/graphics.h"
#include "graphics/image_font.h"
#include "support/recording_vex2d.h"

namespace vexel {
namespace {

using testing::FakeWindow;
using testing::RecordingDriver;

class DrawingLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        driver = std::make_shared<RecordingDriver>();
        window = std::make_shared<FakeWindow>(1024, 512);
        SelectGraphicsDriver(driver, 2);
        context = TVex2DGraphics::Create(window, driver);
    }
    void TearDown() override { SelectGraphics(nullptr); }

    void Open() {
        SelectGraphics(context);
        driver->TakeCalls();
    }

    std::shared_ptr<RecordingDriver> driver;
    std::shared_ptr<FakeWindow> window;
    std::shared_ptr<TVex2DGraphics> context;
};

TEST_F(DrawingLayer, MakingCurrentReappliesTheStateInOrderAndClearsBothBuffersOnce) {
    SelectGraphics(context);
    const std::vector<std::string> first = {
        "SetGraphics",
        "Resolution 1024 512",
        "Blend 1",
        "Color 255 255 255",
        "Alpha 1",
        "ClsColor 0 0 0",
        "LineWidth 1",
        "Transform 1 0 0 1",
        "Transform 1 0 0 1",
        "Viewport 0 0 1024 512",
        "Cls",
        "Flip 0",
        "Cls",
        "Flip 0",
    };
    EXPECT_EQ(driver->TakeCalls(), first);
    EXPECT_EQ(TVex2DGraphics::Current(), context);

    // Deselected and selected again: the state is re-sent, the buffers are not cleared again.
    SetDrawColor(10, 20, 30);
    SelectGraphics(nullptr);
    EXPECT_EQ(TVex2DGraphics::Current(), nullptr);
    SelectGraphics(context);
    const auto again = driver->TakeCalls();
    EXPECT_EQ(std::count(again.begin(), again.end(), "Cls"), 0);
    EXPECT_NE(std::find(again.begin(), again.end(), "Color 10 20 30"), again.end());
}

TEST_F(DrawingLayer, DefaultsOfANewContext) {
    Open();
    int32_t r, g, b;
    GetDrawColor(r, g, b);
    EXPECT_EQ((std::vector{r, g, b}), (std::vector{255, 255, 255}));
    GetClearColor(r, g, b);
    EXPECT_EQ((std::vector{r, g, b}), (std::vector{0, 0, 0}));
    EXPECT_EQ(GetDrawAlpha(), 1.0f);
    EXPECT_EQ(GetDrawBlend(), BlendMask);
    EXPECT_EQ(GetDrawRotation(), 0.0f);
    float sx, sy;
    GetDrawScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
    GetDrawOrigin(sx, sy);
    EXPECT_EQ(sx, 0.0f);
    EXPECT_EQ(sy, 0.0f);
    GetDrawHandle(sx, sy);
    EXPECT_EQ(sx, 0.0f);
    EXPECT_EQ(sy, 0.0f);
    int32_t x, y, w, h;
    GetDrawViewport(x, y, w, h);
    EXPECT_EQ((std::vector{x, y, w, h}), (std::vector{0, 0, 1024, 512}));
    EXPECT_EQ(VirtualSizeWidth(), 1024.0f);
    EXPECT_EQ(VirtualSizeHeight(), 512.0f);
    EXPECT_EQ(GetDrawLineWidth(), 1.0f);
    ASSERT_NE(GetDrawFont(), nullptr);
}

TEST_F(DrawingLayer, ShapesStartAtTheNegatedHandleAndMoveByPositionPlusOrigin) {
    Open();
    SetDrawHandle(10, 5);
    float hx, hy;
    GetDrawHandle(hx, hy);
    EXPECT_EQ(hx, 10.0f);
    EXPECT_EQ(hy, 5.0f);
    DrawRectangle(100, 100, 20, 20);
    SetDrawOrigin(1, 2);
    DrawEllipse(100, 100, 20, 20);
    DrawLineSegment(100, 100, 130, 140, 1);
    PlotPoint(3, 4);
    const float xy[] = {0, 0, 10, 0, 10, 10};
    DrawPolygon(xy);
    const std::vector<std::string> expected = {
        "Rect -10 -5 10 15 100 100",
        "Oval -10 -5 10 15 101 102",
        "Line -10 -5 20 35 101 102",
        "Plot 121 137",
        "Plot 4 6",
        "Poly 6 -10 -5 1 2",
    };
    EXPECT_EQ(driver->TakeCalls(), expected);
}

TEST_F(DrawingLayer, RotationAndScaleMakeTheMatrix) {
    Open();
    SetDrawRotation(90);
    // The local point (1, 0) lands on (0, 1): ix = 0, jx = 1.
    SetDrawScale(2, 3);
    SetDrawTransform(0, 2, 2);
    const std::vector<std::string> expected = {
        "Transform 0 -1 1 0",
        "Transform 0 -3 2 0",
        "Transform 2 0 0 2",
    };
    EXPECT_EQ(driver->TakeCalls(), expected);
    const DrawMatrix m = CurrentDrawMatrix();
    EXPECT_EQ(m.ix, 2.0f);
    EXPECT_EQ(m.jy, 2.0f);
    // The last pixel of a line goes through the matrix too.
    DrawLineSegment(0, 0, 5, 0, 1);
    EXPECT_EQ(driver->TakeCalls()[1], "Plot 10 0");
}

TEST_F(DrawingLayer, VirtualResolutionScalesViewportAndMouse) {
    Open();
    SetVirtualSize(512, 256);
    SetDrawViewport(10, 11, 100, 50);
    const std::vector<std::string> expected = {
        "Resolution 512 256",
        "Viewport 20 22 200 100",
    };
    EXPECT_EQ(driver->TakeCalls(), expected);
    EXPECT_EQ(context->vres_mousexscale, 0.5f);
    EXPECT_EQ(context->vres_mouseyscale, 0.5f);
    // Fractional window pixels: edges are floored separately.
    SetVirtualSize(300, 512);
    SetDrawViewport(1, 0, 1, 10);
    EXPECT_EQ(driver->TakeCalls()[1], "Viewport 3 0 3 10");
}

TEST_F(DrawingLayer, ValidatePicksUpANewWindowSize) {
    Open();
    SetVirtualSize(512, 256);
    driver->TakeCalls();
    window->width = 800;
    window->height = 600;
    SelectGraphics(nullptr);
    SelectGraphics(context);
    EXPECT_EQ(VirtualSizeWidth(), 800.0f);
    EXPECT_EQ(VirtualSizeHeight(), 600.0f);
    EXPECT_EQ(context->vres_mousexscale, 1.0f);
    EXPECT_EQ(driver->TakeCalls()[2], "Resolution 800 600");
}

TEST_F(DrawingLayer, ColourAndAlphaAreStoredUnclamped) {
    Open();
    SetDrawColor(300, -5, 128);
    SetDrawAlpha(1.5f);
    int32_t r, g, b;
    GetDrawColor(r, g, b);
    EXPECT_EQ((std::vector{r, g, b}), (std::vector{300, -5, 128}));
    EXPECT_EQ(GetDrawAlpha(), 1.5f);
    const std::vector<std::string> expected = {"Color 300 -5 128", "Alpha 1.5"};
    EXPECT_EQ(driver->TakeCalls(), expected);
}

TEST_F(DrawingLayer, ClosingForgetsTheWrappedWindow) {
    context->Close();
    EXPECT_TRUE(window->closed);
    EXPECT_EQ(context->_graphics, nullptr);
    EXPECT_EQ(context->Driver(), nullptr);
    context->Close();  // a second close does nothing
}

// Every character is glyph 0, advancing 5.6 pixels; '?' has no glyph.
class FractionalFont : public TImageFont {
  public:
    int32_t Height() override { return 21; }
    int32_t CharToGlyph(int32_t character) override { return character == '?' ? -1 : 0; }
    ImageGlyphPtr LoadGlyph(int32_t) override {
        auto glyph = std::make_shared<TImageGlyph>();
        glyph->_advance = 5.6f;
        return glyph;
    }
};

TEST_F(DrawingLayer, TextWidthTruncatesAfterEachGlyphAndHeightIsTheFonts) {
    Open();
    SetDrawFont(std::make_shared<FractionalFont>());
    EXPECT_EQ(TextWidthOf(u""), 0);
    EXPECT_EQ(TextWidthOf(u"ab"), 10);  // 0 + 5.6 -> 5, 5 + 5.6 -> 10
    EXPECT_EQ(TextWidthOf(u"a?b?"), 10);
    EXPECT_EQ(TextHeightOf(u"anything"), 21);
    SetDrawFont(nullptr);
    EXPECT_EQ(TextHeightOf(u""), 16);
    EXPECT_EQ(TextWidthOf(u"AB"), 16);
    EXPECT_EQ(TextWidthOf(u"A\x00c8"), 8);  // code 200 has no glyph in the built-in font
}

TEST(DrawingLayerWithoutContext, CallsChangeADetachedStateAndDrawNothing) {
    TVex2DGraphics::ClearCurrent();
    EXPECT_EQ(TVex2DGraphics::Current(), nullptr);
    SetDrawColor(1, 2, 3);
    DrawRectangle(0, 0, 10, 10);
    DrawString(u"text", 0, 0);
    EXPECT_EQ(GrabPixmapRect(0, 0, 1, 1), nullptr);
    EXPECT_EQ(TextWidthOf(u""), 0);
}

}  // namespace
}  // namespace vexel
