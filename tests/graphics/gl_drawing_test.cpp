// Drawing into a real 1024×512 window through the OpenGL 2-D driver, read back with
// GrabPixmapRect.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "graphics/for_testing.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_texture.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/gl/internal/gl_check.h"
#include "graphics/gl/internal/gl_image_frame.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "support/test_support.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace vexel {
namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFF0000FFu;

uint32_t Pixel(int32_t x, int32_t y) {
    return static_cast<uint32_t>(GrabPixmapRect(x, y, 1, 1)->ReadPixel(0, 0));
}

// Every pixel of the rectangle has `colour`.
::testing::AssertionResult Filled(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    const auto pixmap = GrabPixmapRect(x, y, w, h);
    for (int32_t j = 0; j < h; ++j) {
        for (int32_t i = 0; i < w; ++i) {
            const auto got = static_cast<uint32_t>(pixmap->ReadPixel(i, j));
            if (got != colour) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x + i << ", " << y + j << ") is " << std::hex << got;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// `colour` exactly on [x0, x1) × [y0, y1) and black in the one-pixel frame around it.
void ExpectCovers(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
    EXPECT_TRUE(Filled(x0, y0, x1 - x0, y1 - y0, colour));
    EXPECT_TRUE(Filled(x0 - 1, y0 - 1, x1 - x0 + 2, 1, kBlack));
    EXPECT_TRUE(Filled(x0 - 1, y1, x1 - x0 + 2, 1, kBlack));
    EXPECT_TRUE(Filled(x0 - 1, y0, 1, y1 - y0, kBlack));
    EXPECT_TRUE(Filled(x1, y0, 1, y1 - y0, kBlack));
}

uint8_t Channel(uint32_t argb, int shift) {
    return static_cast<uint8_t>(argb >> shift);
}

PixmapPtr SolidPixmap(int32_t w, int32_t h, uint32_t argb) {
    auto pixmap = NewPixmap(w, h, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(static_cast<int32_t>(argb));
    return pixmap;
}

class GLDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CurrentGraphicsDriver(), TheGLVex2DDriver()) << "selected at start-up";
        ASSERT_NE(OpenGraphics(1024, 512, 0, 0, 0), nullptr);
        ResetImageSettingsForTesting();
        ClearScreen();
    }
    void TearDown() override { CloseOpenedGraphics(); }
};

// Building the program's statics does no work of the graphics module: the display is opened,
// and the OpenGL 2-D driver chosen, by the first call into it.
TEST(GraphicsStartUp, TheDisplayIsOpenedOnFirstUseAndTheDrawingDriverIsCurrent) {
    const auto result = testing::RunProcess({STARTUP_PROBE});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "0 1 2-D driver");
}

// Returning from main with image quads recorded since the last flip: the exit handlers close
// the window and submit them into state that is still alive, and the handler added before the
// window was opened runs after them.
TEST(GraphicsStartUp, ReturningFromMainWithDrawingPendingRunsEveryExitHandler) {
    const auto result = testing::RunProcess({STARTUP_PROBE, "return"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "handler ran");
    EXPECT_EQ(result.err, "");
}

// The defaults of a new context are the drawing layer's (its own tests check them); here,
// what the OpenGL driver makes of them.
TEST_F(GLDrawing, OpeningClearsBothBuffersWithClippingOff) {
    auto context = TVex2DGraphics::Current();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->_setup, 1);
    // The back buffer, then after a swap the other one.
    EXPECT_TRUE(Filled(0, 0, 1024, 512, kBlack));
    FlipGraphics(0);
    EXPECT_TRUE(Filled(0, 0, 1024, 512, kBlack));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(TheGLVex2DDriver()->ToString(), u"OpenGL");
}

TEST_F(GLDrawing, RectanglesFollowHandleScaleAndRotation) {
    SetDrawHandle(10, 5);
    DrawRectangle(100, 100, 20, 20);
    ExpectCovers(90, 95, 110, 115, kWhite);
    ClearScreen();

    SetDrawHandle(0, 0);
    SetDrawScale(2, 2);
    DrawRectangle(300, 300, 10, 10);
    ExpectCovers(300, 300, 320, 320, kWhite);
    ClearScreen();
    SetDrawHandle(5, 5);
    DrawRectangle(300, 300, 10, 10);
    ExpectCovers(290, 290, 310, 310, kWhite);
    ClearScreen();

    // Turned by 90° about its position: (20, 10) becomes 10 wide to the left, 20 down.
    SetDrawHandle(0, 0);
    SetDrawTransform(90, 1, 1);
    DrawRectangle(100, 100, 20, 10);
    ExpectCovers(90, 100, 100, 120, kWhite);
}

TEST_F(GLDrawing, ViewportClipsAndTheWholeWindowTurnsClippingOff) {
    SetDrawViewport(10, 20, 30, 40);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    DrawRectangle(0, 0, 1024, 512);
    ExpectCovers(10, 20, 40, 60, kWhite);
    SetDrawViewport(0, 0, 1024, 512);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    ClearScreen();
    EXPECT_TRUE(Filled(0, 0, 1024, 512, kBlack));
}

TEST_F(GLDrawing, VirtualSizeHalvesCoordinatesAndMouseScales) {
    SetVirtualSize(512, 256);
    DrawRectangle(10, 10, 10, 10);
    ExpectCovers(20, 20, 40, 40, kWhite);
    SetDrawViewport(100, 100, 50, 50);
    DrawRectangle(0, 0, 512, 256);
    EXPECT_TRUE(Filled(200, 200, 100, 100, kWhite));
    EXPECT_EQ(Pixel(199, 250), kBlack);
    EXPECT_EQ(Pixel(300, 250), kBlack);

    MoveVirtualMousePointer(100, 50);
    for (int i = 0; i < 200 && MouseXPos() != 200; ++i) {
        PumpSystem();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(MouseXPos(), 200);
    EXPECT_EQ(MouseYPos(), 100);
    EXPECT_EQ(VirtualMouseXPos(), 100.0f);
    EXPECT_EQ(VirtualMouseYPos(), 50.0f);

    // Movements scale the same way: 100 × 60 window pixels are 50 × 30 virtual ones.
    VirtualMouseXDelta();
    VirtualMouseYDelta();
    MoveVirtualMousePointer(150, 80);
    for (int i = 0; i < 200 && MouseXPos() != 300; ++i) {
        PumpSystem();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(VirtualMouseXDelta(), 50.0f);
    EXPECT_EQ(VirtualMouseYDelta(), 30.0f);
    EXPECT_EQ(VirtualMouseXDelta(), 0.0f);
}

// The number of vertices of the one polygon drawn by `draw`, captured in GL feedback mode.
// Mesa hands polygons to feedback as a fan of triangles: n vertices give n - 2 of them.
int PolygonVertices(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    int triangles = 0;
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLint>(buffer[static_cast<size_t>(i)]);
        const auto n = static_cast<int>(buffer[static_cast<size_t>(i) + 1]);
        if (token != GL_POLYGON_TOKEN || n != 3) return -1;
        ++triangles;
        i += 2 + n * 2;
    }
    return triangles + 2;
}

TEST_F(GLDrawing, OvalSegmentsGrowWithTheRadiiInStepsOfFour) {
    EXPECT_EQ(PolygonVertices([] { DrawEllipse(500, 200, 10, 6); }), 12);
    EXPECT_EQ(PolygonVertices([] { DrawEllipse(400, 200, 100, 60); }), 80);
    EXPECT_EQ(PolygonVertices([] { DrawEllipse(400, 200, 41, 20); }), 28);
    DrawEllipse(400, 200, 100, 60);
    EXPECT_EQ(Pixel(450, 230), kWhite);
    EXPECT_EQ(Pixel(401, 201), kBlack);
    // Enormous radii stop at the cap; such an oval still covers what it should.
    EXPECT_EQ(OvalSegments(4000, 4000), 8000);
    EXPECT_EQ(OvalSegments(4100.5f, -4100), 8192);
    EXPECT_EQ(OvalSegments(1e30f, 1e30f), 8192);
    ClearScreen();
    DrawEllipse(-1e7f, -1e7f, 2e7f + 1024, 2e7f + 512);
    EXPECT_TRUE(Filled(0, 0, 1024, 512, kWhite));
}

TEST_F(GLDrawing, PolygonsNeedThreeWholePoints) {
    const std::vector<float> two_points = {0, 0, 100, 0, 100};
    const std::vector<float> odd = {0, 0, 100, 0, 100, 100, 5};
    DrawPolygon(std::span<const float>(two_points.data(), 4));
    DrawPolygon(two_points);
    DrawPolygon(odd);
    EXPECT_TRUE(Filled(0, 0, 110, 110, kBlack));
    const std::vector<float> triangle = {0, 0, 100, 0, 0, 100};
    SetDrawHandle(-10, -10);
    DrawPolygon(triangle);
    EXPECT_EQ(Pixel(12, 12), kWhite);
    EXPECT_EQ(Pixel(9, 12), kBlack);
}

TEST_F(GLDrawing, BlendModesOnKnownColours) {
    const auto expect_near = [](uint32_t got, int r, int g, int b) {
        EXPECT_NEAR(Channel(got, 16), r, 1) << std::hex << got;
        EXPECT_NEAR(Channel(got, 8), g, 1) << std::hex << got;
        EXPECT_NEAR(Channel(got, 0), b, 1) << std::hex << got;
    };
    // Mask: alpha 0.5 is sent as 127, below the 0.5 threshold; 0.51 passes.
    SetDrawBlend(BlendMask);
    SetDrawAlpha(0.5f);
    DrawRectangle(0, 0, 10, 10);
    EXPECT_EQ(Pixel(5, 5), kBlack);
    SetDrawAlpha(0.51f);
    DrawRectangle(0, 0, 10, 10);
    EXPECT_EQ(Pixel(5, 5), kWhite);
    // Solid: alpha does not matter.
    SetDrawBlend(BlendSolid);
    SetDrawAlpha(0);
    SetDrawColor(10, 20, 30);
    DrawRectangle(20, 0, 10, 10);
    expect_near(Pixel(25, 5), 10, 20, 30);
    // Alpha over black: half of (200, 100, 50) at 127/255.
    SetDrawBlend(BlendAlpha);
    SetDrawColor(200, 100, 50);
    SetDrawAlpha(0.5f);
    DrawRectangle(40, 0, 10, 10);
    expect_near(Pixel(45, 5), 100, 50, 25);
    // Light: added onto grey 100.
    SetDrawBlend(BlendSolid);
    SetDrawColor(100, 100, 100);
    DrawRectangle(60, 0, 10, 10);
    SetDrawBlend(BlendLight);
    SetDrawColor(100, 50, 0);
    DrawRectangle(60, 0, 10, 10);
    expect_near(Pixel(65, 5), 150, 125, 100);
    // Shade: multiplies.
    SetDrawBlend(BlendSolid);
    SetDrawColor(200, 100, 50);
    DrawRectangle(80, 0, 10, 10);
    SetDrawBlend(BlendShade);
    SetDrawColor(128, 255, 0);
    SetDrawAlpha(1);
    DrawRectangle(80, 0, 10, 10);
    expect_near(Pixel(85, 5), 100, 100, 0);
    // Clamping: out-of-range colour and NaN alpha.
    SetDrawBlend(BlendAlpha);
    SetDrawColor(300, -5, 128);
    SetDrawAlpha(1.5f);
    DrawRectangle(100, 0, 10, 10);
    expect_near(Pixel(105, 5), 255, 0, 128);
    SetDrawAlpha(std::numeric_limits<float>::quiet_NaN());
    DrawRectangle(120, 0, 10, 10);
    EXPECT_EQ(Pixel(125, 5), kBlack);
}

TEST_F(GLDrawing, BlendStateIsSentOnlyOnAChange) {
    SetDrawBlend(BlendAlpha);
    EXPECT_EQ(CurrentGLVex2DCaches().blend, BlendAlpha);
#ifndef NDEBUG
    const int64_t before = CheckedGLCalls();
    SetDrawBlend(BlendAlpha);
    EXPECT_EQ(CheckedGLCalls(), before);
#endif
    SetDrawBlend(BlendLight);
#ifndef NDEBUG
    EXPECT_EQ(CheckedGLCalls(), before + 3);
#endif
    // Selecting the context again forgets the caches; Validate sends the mode afresh.
    SelectGraphics(TVex2DGraphics::Current());
    EXPECT_EQ(CurrentGLVex2DCaches().blend, BlendLight);
    EXPECT_FALSE(CurrentGLVex2DCaches().texturing);
}

TEST_F(GLDrawing, LinesAndPointsGoThroughPixelCentres) {
    DrawLineSegment(10, 10, 20, 10, 1);
    EXPECT_TRUE(Filled(10, 10, 11, 1, kWhite));
    EXPECT_EQ(Pixel(9, 10), kBlack);
    EXPECT_EQ(Pixel(21, 10), kBlack);
    PlotPoint(30, 30);
    EXPECT_EQ(Pixel(30, 30), kWhite);
    EXPECT_EQ(Pixel(31, 30), kBlack);
}

TEST_F(GLDrawing, PixmapsAreDrawnAndGrabbedTopRowFirst) {
    auto pixmap = SolidPixmap(4, 3, kRed);
    pixmap->WritePixel(0, 0, static_cast<int32_t>(kBlue));
    pixmap->WritePixel(3, 2, static_cast<int32_t>(kGreen));
    SetDrawOrigin(100, 100);  // does not apply
    DrawPixmapAt(pixmap, 50, 60);
    EXPECT_EQ(Pixel(50, 60), kBlue);
    EXPECT_EQ(Pixel(53, 62), kGreen);
    EXPECT_EQ(Pixel(51, 61), kRed);
    EXPECT_EQ(Pixel(54, 62), kBlack);
    EXPECT_EQ(GetDrawBlend(), BlendMask);
    EXPECT_EQ(CurrentGLVex2DCaches().blend, BlendMask);
    const auto grabbed = GrabPixmapRect(50, 60, 4, 3);
    EXPECT_EQ(grabbed->format, PIXEL_RGBA32);
    EXPECT_EQ(static_cast<uint32_t>(grabbed->ReadPixel(0, 0)), kBlue);
    EXPECT_EQ(static_cast<uint32_t>(grabbed->ReadPixel(3, 2)), kGreen);

    // Grabbed into a masked image's frame: the key colour (red) becomes clear, so drawn with
    // the mask blend only the blue and green pixels reach the screen.
    SetImageMaskColor(255, 0, 0);
    const ImagePtr image = CreateBlankImage(4, 3, 2, ImageFlagMasked);
    GrabImageFrame(*image, 50, 60, 1);
    ASSERT_NE(image->pixmaps[1], nullptr);
    EXPECT_EQ(image->pixmaps[1]->ReadPixel(1, 1) >> 24, 0);  // keyed out
    SetDrawOrigin(0, 0);
    DrawImageFrame(*image, 200, 100, 1);
    EXPECT_EQ(Pixel(200, 100), kBlue);
    EXPECT_EQ(Pixel(203, 102), kGreen);
    EXPECT_EQ(Pixel(201, 101), kBlack);

    // The raw-GL pixmap helper right after an image, which leaves texturing on in the 2-D
    // driver: the pixmap's own pixels arrive, row 0 at the bottom as GL stores rows.
    DrawGLPixmap(pixmap, 300, 100);
    EXPECT_EQ(Pixel(300, 102), kBlue);
    EXPECT_EQ(Pixel(303, 100), kGreen);
    EXPECT_EQ(Pixel(301, 101), kRed);
    // So does the raw-GL rectangle: it takes the current colour, not a texel's.
    int32_t red = 0, green = 0, blue = 0;
    GetDrawColor(red, green, blue);
    SetDrawColor(0, 255, 0);
    DrawGLRect(500, 100, 4, 3);
    SetDrawColor(red, green, blue);
    EXPECT_EQ(Pixel(500, 100), kGreen);
    EXPECT_EQ(Pixel(503, 102), kGreen);
    EXPECT_EQ(Pixel(504, 100), kBlack);
    // The driver's state is as it was: the next image draws as before.
    DrawImageFrame(*image, 400, 100, 1);
    EXPECT_EQ(Pixel(400, 100), kBlue);
    EXPECT_EQ(Pixel(401, 101), kBlack);
}

TEST_F(GLDrawing, AutoMidHandleCentresTheImage) {
    SetAutoMidHandle(1);
    const auto image = LoadImageFrom(SolidPixmap(64, 32, kWhite), -1);
    DrawImageFrame(*image, 100, 100, 0);
    ExpectCovers(68, 84, 132, 116, kWhite);
}

TEST_F(GLDrawing, ImagesLoadedBeforeTheWindowWasReopenedStillDraw) {
    const auto image = LoadImageFrom(SolidPixmap(8, 8, kGreen), 0);
    DrawImageFrame(*image, 10, 10, 0);
    EXPECT_EQ(Pixel(12, 12), kGreen);
    CloseOpenedGraphics();
    ASSERT_NE(OpenGraphics(1024, 512, 0, 0, 0), nullptr);
    DrawImageFrame(*image, 10, 10, 0);
    ExpectCovers(10, 10, 18, 18, kGreen);
}

// The texels of level 0 of a frame's texture.
std::vector<uint32_t> TextureTexels(const TGLImageFrame& frame, int32_t& width, int32_t& height) {
    glBindTexture(GL_TEXTURE_2D, frame.name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint32_t> texels(static_cast<size_t>(width) * static_cast<size_t>(height));
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, CurrentGLVex2DCaches().bound_texture);
    return texels;
}

TEST_F(GLDrawing, SmallerImagesRepeatTheirLastColumnAndRowInTheTexture) {
    auto pixmap = NewPixmap(100, 50, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < 50; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            pixmap->WritePixel(x, y, static_cast<int32_t>(0xFF000000u | x << 16 | y << 8));
        }
    }
    const auto image = LoadImageFrom(pixmap, 0);
    const auto frame = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->u1, 100.0f / 128);
    EXPECT_EQ(frame->v1, 50.0f / 64);
    int32_t w, h;
    const auto texels = TextureTexels(*frame, w, h);
    ASSERT_EQ(w, 128);
    ASSERT_EQ(h, 64);
    const auto at = [&](int32_t x, int32_t y) { return texels[static_cast<size_t>(y * w + x)]; };
    for (int32_t y = 0; y < 50; ++y)
        EXPECT_EQ(at(100, y), at(99, y)) << y;
    for (int32_t x = 0; x < 100; ++x)
        EXPECT_EQ(at(x, 50), at(x, 49)) << x;
    EXPECT_EQ(at(100, 50), at(99, 49));
    EXPECT_EQ(at(37, 21), 0xFF001525u);  // bytes R=37, G=21 as a little-endian word

    const auto square = LoadImageFrom(SolidPixmap(64, 64, kBlue), 0);
    const auto square_frame = std::dynamic_pointer_cast<TGLImageFrame>(square->Frame(0));
    EXPECT_EQ(square_frame->u1, 1.0f);
    EXPECT_EQ(square_frame->v1, 1.0f);
    DrawImageFrame(*square, 10, 10, 0);
    ExpectCovers(10, 10, 74, 74, kBlue);
}

TEST_F(GLDrawing, ImagesLargerThanAnyTextureAreScaledDownNotCut) {
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    // Twice the largest width: left half red, right half blue.
    const int32_t width = max_size * 2;
    auto pixmap = SolidPixmap(width, 2, kRed);
    for (int32_t x = width / 2; x < width; ++x) {
        pixmap->WritePixel(x, 0, static_cast<int32_t>(kBlue));
        pixmap->WritePixel(x, 1, static_cast<int32_t>(kBlue));
    }
    const auto image = LoadImageFrom(pixmap, 0);
    const auto frame = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
    ASSERT_NE(frame, nullptr);
    int32_t w, h;
    const auto texels = TextureTexels(*frame, w, h);
    EXPECT_EQ(w, max_size);
    EXPECT_EQ(h, 1);  // both sides are halved together
    EXPECT_EQ(frame->u1, 1.0f);
    EXPECT_EQ(texels.front(), 0xFF0000FFu);  // red in memory order R, G, B, A
    EXPECT_EQ(texels.back(), 0xFFFF0000u);   // blue
}

TEST_F(GLDrawing, ReleasedTexturesAreDeletedAtTheNextCreation) {
    auto image = LoadImageFrom(SolidPixmap(8, 8, kRed), 0);
    const auto name = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0))->name;
    EXPECT_TRUE(glIsTexture(name));
    image.reset();
    EXPECT_TRUE(glIsTexture(name));  // only queued
    const auto next = LoadImageFrom(SolidPixmap(8, 8, kRed), 0);
    next->Frame(0);
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(GLDrawing, TilesCoverColumnZeroFromMinusSixtyThreeEvenWhenRotated) {
    auto pixmap = SolidPixmap(32, 32, kGreen);
    for (int32_t y = 0; y < 32; ++y)
        pixmap->WritePixel(31, y, static_cast<int32_t>(kRed));
    const auto image = LoadImageFrom(pixmap, 0);
    SetDrawRotation(45);
    TileImageFrame(*image, -63, 0, 0);
    // The tile at -31 ends with its red column on column 0; the next starts green at 1.
    EXPECT_TRUE(Filled(0, 0, 1, 512, kRed));
    EXPECT_TRUE(Filled(1, 0, 31, 512, kGreen));
    EXPECT_TRUE(Filled(32, 0, 1, 512, kRed));
    EXPECT_TRUE(Filled(1023, 0, 1, 512, kGreen));  // column 30 of the tile at 993
}

#ifndef NDEBUG
// A 300×200 picture of the terrain kind: clear above a wavy ridge, a half-transparent ridge
// line, opaque below with a few clear holes and some colour.
PixmapPtr HillPicture() {
    auto pixmap = NewPixmap(300, 200, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < 200; ++y) {
        for (int32_t x = 0; x < 300; ++x) {
            const int32_t ridge = 60 + (x * 7 % 50) + (x / 40) * 5;
            uint32_t argb = 0;
            if (y == ridge) argb = 0x80C08040u;
            if (y > ridge) argb = 0xFF000000u | (x * 3 % 256) << 16 | (y * 5 % 256) << 8 | 0x40u;
            if (y > ridge && (x - 150) * (x - 150) + (y - 170) * (y - 170) < 100) argb = 0;
            pixmap->WritePixel(x, y, static_cast<int32_t>(argb));
        }
    }
    return pixmap;
}

// The frame drawn by plain GL as one whole quad with the driver's arithmetic, in the blend
// state of `blend`.
void DrawWholeQuad(TImage& image, float x, float y, int32_t blend) {
    const auto& frame = *std::static_pointer_cast<TGLImageFrame>(image.Frame(0));
    const DrawMatrix m = CurrentDrawMatrix();
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const float x0 = -image.handle_x, y0 = -image.handle_y, x1 = x0 + w, y1 = y0 + h;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, frame.name);
    if (blend == BlendMask) {
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
    } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, blend == BlendLight ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_ALPHA_TEST);
    }
    const auto vertex = [&](float lx, float ly) {
        glVertex2f(lx * m.ix + ly * m.iy + x, lx * m.jx + ly * m.jy + y);
    };
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    vertex(x0, y0);
    glTexCoord2f(w * frame.uscale, 0);
    vertex(x1, y0);
    glTexCoord2f(w * frame.uscale, h * frame.vscale);
    vertex(x1, y1);
    glTexCoord2f(0, h * frame.vscale);
    vertex(x0, y1);
    glEnd();
    SelectGraphics(TVex2DGraphics::Current());  // the driver's caches no longer hold
}

// A background with detail, so that a pixel blended where it should not be shows.
void DrawBackground() {
    SetDrawBlend(BlendSolid);
    SetDrawTransform(0, 1, 1);
    for (int32_t i = 0; i < 32; ++i) {
        SetDrawColor(i * 8, 255 - i * 8, (i * 40) % 256);
        DrawRectangle(static_cast<float>(i * 32), 0, 32, 512);
    }
    SetDrawColor(255, 255, 255);
}

TEST_F(GLDrawing, FramesDrawnInPiecesMatchTheWholeQuadPixelForPixel) {
    // Wide enough to be drawn in bands; filtered, as the game loads its pictures.
    const auto hills = LoadImageFrom(HillPicture(), ImageFlagFiltered);
    const auto opaque = LoadImageFrom(SolidPixmap(64, 64, 0xFF3080C0u), ImageFlagFiltered);
    // Mostly clear around a small blob: turned, it is drawn inside a scissor box.
    auto blob_pixels = NewPixmap(200, 200, PIXEL_RGBA32, 4);
    blob_pixels->ClearPixels(0);
    for (int32_t y = 120; y < 160; ++y) {
        for (int32_t x = 130; x < 170; ++x)
            blob_pixels->WritePixel(x, y, static_cast<int32_t>(0xC0F0A020u + (x ^ y)));
    }
    const auto blob = LoadImageFrom(blob_pixels, ImageFlagFiltered);
    CentreImageHandle(*blob);
    CentreImageHandle(*hills);
    struct Placement {
        float x, y, rotation, scale;
    };
    const Placement placements[] = {
        {400, 250, 0, 1},  {400.25f, 250.5f, 0, 1}, {512.75f, 260, 0, 1.5f}, {300, 200, 0, 0.7f},
        {500, 250, 17, 1}, {450, 240, 200, 1.3f},   {600, 250, 0, -1},       {500, 260, 33, 0.6f}};
    for (const int32_t blend : {BlendAlpha, BlendMask, BlendLight}) {
        for (const Placement& p : placements) {
            SCOPED_TRACE(::testing::Message() << "blend " << blend << " at " << p.x << ", " << p.y
                                              << " turned " << p.rotation << " scaled " << p.scale);
            DrawBackground();
            SetDrawBlend(blend);
            SetDrawTransform(p.rotation, p.scale, p.scale);
            // An opaque frame under the hills: what their opaque core replaces of it is cut
            // away before it is drawn, the rest must still show and blend as before.
            DrawImageFrame(*opaque, p.x - 100, p.y - 40, 0);
            DrawImageFrame(*hills, p.x, p.y, 0);
            DrawImageFrame(*opaque, p.x - 200, p.y - 100, 0);
            DrawImageFrame(*blob, p.x + 250, p.y, 0);
            const auto pieces = GrabPixmapRect(0, 0, 1024, 512);
            DrawBackground();
            SetDrawTransform(p.rotation, p.scale, p.scale);
            DrawWholeQuad(*opaque, p.x - 100, p.y - 40, blend);
            DrawWholeQuad(*hills, p.x, p.y, blend);
            DrawWholeQuad(*opaque, p.x - 200, p.y - 100, blend);
            DrawWholeQuad(*blob, p.x + 250, p.y, blend);
            const auto whole = GrabPixmapRect(0, 0, 1024, 512);
            int32_t differ = 0;
            for (int32_t y = 0; y < 512; ++y) {
                differ += std::memcmp(pieces->PixelPtr(0, y), whole->PixelPtr(0, y), 1024 * 4) != 0;
            }
            EXPECT_EQ(differ, 0) << "rows that differ";
        }
    }
    SetDrawTransform(0, 1, 1);
}

TEST_F(GLDrawing, DebugBuildsReportGLErrorsWithTheCall) {
    std::vector<std::string> reports;
    auto previous = SetGLErrorReporter([&](uint32_t error, const char* call) {
        reports.push_back(std::to_string(error) + " " + call);
    });
    SetDrawLineWidth(-1);  // GL_INVALID_VALUE
    SetGLErrorReporter(std::move(previous));
    EXPECT_EQ(reports, std::vector<std::string>{"1281 glLineWidth(width)"});
}
#endif

}  // namespace
}  // namespace vexel
