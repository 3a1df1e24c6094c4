// Scaled windows and desktop full screen on a 3840×2160 X server (VEXEL_BIG_DISPLAY, which
// the test command starts; the tests skip without it): the window's size, the frame enlarged,
// high-resolution pictures and text, the mouse in logical units, and full screen with bars.

// gtest first: Xlib defines None as a macro, which gtest uses as a type name.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "graphics/collision.h"
#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/gl/internal/gl_image_frame.h"
#include "graphics/gl/internal/gl_window.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/image_font.h"
#include "graphics/internal/detail_decoding.h"
#include "graphics/vex2d.h"
#include "platform/x11/glx_window.h"
#include "reference_frame.h"
#include "support/test_support.h"
#include "system/polled_input.h"
#include "system/system_driver.h"
#include "x_test_support.h"

namespace vexel {
namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
const char16_t* const kFreeSans = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";

// The back buffer's pixels as 0xAARRGGBB, row 0 at the top.
struct Surface {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

Surface ReadSurface() {
    SubmitGLVex2DDrawing();
    int32_t width = 0, height = 0;
    CurrentGraphics()->GetSurface(width, height);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    Surface surface{width, height, {}};
    surface.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
            surface.pixels[static_cast<size_t>(y) * width + x] =
                uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        }
    }
    return surface;
}

int32_t ChannelDistance(uint32_t a, uint32_t b) {
    int32_t most = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        most = std::max(most, std::abs(static_cast<int32_t>(a >> shift & 0xFF) -
                                       static_cast<int32_t>(b >> shift & 0xFF)));
    }
    return most;
}

using testing::WriteTga;

std::vector<uint32_t> Solid(int32_t width, int32_t height, uint32_t colour) {
    return std::vector<uint32_t>(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
}

// One-pixel black and white squares, white at (0, 0): detail no 1x picture can hold.
std::vector<uint32_t> Checkers(int32_t width, int32_t height) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels.push_back((x + y) % 2 == 0 ? kWhite : kBlack);
    return pixels;
}

class ScaledWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { UseDisplayNamedBy("VEXEL_BIG_DISPLAY"); }
    void SetUp() override {
        StartOn("VEXEL_BIG_DISPLAY", "no 3840x2160 X server (set VEXEL_BIG_DISPLAY)");
    }

    // DISPLAY becomes the server the variable names; before the framework's first use, which
    // opens the display.
    static void UseDisplayNamedBy(const char* variable) {
        if (const char* display = std::getenv(variable)) setenv("DISPLAY", display, 1);
    }
    // Skips the test with `missing` unless the variable names a server that opens.
    void StartOn(const char* variable, const char* missing) {
        if (!std::getenv(variable) || !testing::HaveDisplay()) GTEST_SKIP() << missing;
        injector = std::make_unique<testing::XInjector>();
        injector->InternDesktopAtoms();
        ASSERT_EQ(CurrentGraphicsDriver(), TheGLVex2DDriver());
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SetGraphicsScale(0);
        injector.reset();
    }

    // Opens the 1024×512 window at `scale` with a black clear colour.
    void Open(int32_t scale) {
        SetGraphicsScale(scale);
        ASSERT_NE(OpenGraphics(1024, 512, 0, 0, 0), nullptr);
        SetClearColor(0, 0, 0);
        ClearScreen();
    }

    Window TheWindow() {
        const auto vex = std::static_pointer_cast<TVex2DGraphics>(CurrentGraphics());
        return AsGlxWindow(*std::static_pointer_cast<TGLGraphics>(vex->_graphics)->_context->window)
            .XWindow();
    }

    void Geometry(int& x, int& y, unsigned& width, unsigned& height) {
        Window root, child;
        unsigned border, depth;
        XSync(injector->display(), False);
        XGetGeometry(injector->display(), TheWindow(), &root, &x, &y, &width, &height, &border,
                     &depth);
        XTranslateCoordinates(injector->display(), TheWindow(), root, 0, 0, &x, &y, &child);
    }

    // The logical mouse position after the pointer moved to window pixel (x, y).
    std::pair<int32_t, int32_t> MouseAfterMovingTo(int x, int y) {
        int left, top;
        unsigned width, height;
        Geometry(left, top, width, height);
        injector->MoveTo(left + x, top + y);
        injector->Sync();
        PumpSystem();
        return {MouseXPos(), MouseYPos()};
    }

    std::unique_ptr<testing::XInjector> injector;
};

TEST_F(ScaledWindow, OpensAtTheScaleWithItsSizeFixedAndDrawsInLogicalUnits) {
    for (const int32_t scale : {2, 3}) {
        Open(scale);
        int x, y;
        unsigned width, height;
        Geometry(x, y, width, height);
        EXPECT_EQ(width, 1024u * scale);
        EXPECT_EQ(height, 512u * scale);
        XSizeHints hints{};
        long supplied = 0;
        ASSERT_TRUE(XGetWMNormalHints(injector->display(), TheWindow(), &hints, &supplied));
        EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
        EXPECT_EQ(hints.min_width, 1024 * scale);
        EXPECT_EQ(hints.max_width, 1024 * scale);
        EXPECT_EQ(hints.min_height, 512 * scale);
        EXPECT_EQ(hints.max_height, 512 * scale);
        EXPECT_EQ(CurrentGraphicsWidth(), 1024);
        EXPECT_EQ(CurrentGraphicsHeight(), 512);
        const GraphicsView view = CurrentGraphicsView();
        EXPECT_EQ(view.x, 0);
        EXPECT_EQ(view.y, 0);
        EXPECT_EQ(view.width, 1024 * scale);
        EXPECT_EQ(view.scale, static_cast<float>(scale));
        // A grab is of the logical rectangle, at its logical size.
        SetDrawColor(255, 0, 0);
        DrawRectangle(10, 10, 4, 4);
        const PixmapPtr grabbed = GrabPixmapRect(8, 8, 8, 8);
        ASSERT_EQ(grabbed->width, 8);
        EXPECT_EQ(static_cast<uint32_t>(grabbed->ReadPixel(3, 3)), kRed);
        EXPECT_EQ(static_cast<uint32_t>(grabbed->ReadPixel(1, 1)), kBlack);
        CloseOpenedGraphics();
    }
    // Without a call the environment decides, within 1 to 4.
    SetGraphicsScale(0);
    setenv("VEXEL_SCALE", "3", 1);
    EXPECT_EQ(GraphicsScale(), 3);
    setenv("VEXEL_SCALE", "5", 1);
    EXPECT_EQ(GraphicsScale(), 1);
    SetGraphicsScale(2);
    EXPECT_EQ(GraphicsScale(), 2);
    unsetenv("VEXEL_SCALE");
}

// Shapes, a clipped shape, lines, points, an image, a pixmap and text.
void DrawScene() {
    SetClearColor(20, 40, 160);
    ClearScreen();
    SetDrawBlend(BlendAlpha);
    SetDrawColor(255, 0, 0);
    DrawRectangle(100, 50, 200, 100);
    SetDrawViewport(0, 0, 600, 400);
    SetDrawColor(0, 200, 0);
    DrawRectangle(500, 300, 300, 300);
    SetDrawViewport(0, 0, 1024, 512);
    SetDrawColor(255, 255, 255);
    DrawLineSegment(50, 300, 400, 300, 1);
    PlotPoint(450, 320);
    SetDrawRotation(30);
    DrawRectangle(200, 420, 60, 30);
    SetDrawRotation(0);
    auto pixmap = NewPixmap(32, 32, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(0);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 16; ++x)
            pixmap->WritePixel(x, y, static_cast<int32_t>(0xFFFFFF00u));
    const auto image = LoadImageFrom(pixmap, 0);
    DrawImageFrame(*image, 700, 100, 0);
    auto magenta = NewPixmap(16, 16, PIXEL_RGBA32, 4);
    magenta->ClearPixels(static_cast<int32_t>(0xFFFF00FFu));
    DrawPixmapAt(magenta, 800, 300);
    SetDrawFont(nullptr);
    DrawString(u"AB", 600, 400);
}

TEST_F(ScaledWindow, AFrameAtScaleTwoIsTheFrameAtScaleOneEnlarged) {
    Open(1);
    DrawScene();
    const Surface small = ReadSurface();
    CloseOpenedGraphics();
    Open(2);
    DrawScene();
    const Surface large = ReadSurface();
    ASSERT_EQ(large.width, 2048);
    // Where the small frame is the same all around a pixel, the pixel's four enlarged pixels
    // have its colour; edges may differ by the enlarged picture's own sampling.
    int32_t compared = 0, differing = 0;
    for (int32_t y = 1; y < 511; ++y) {
        for (int32_t x = 1; x < 1023; ++x) {
            const uint32_t p = small.At(x, y);
            bool uniform = true;
            for (int32_t dy = -1; dy <= 1 && uniform; ++dy)
                for (int32_t dx = -1; dx <= 1 && uniform; ++dx)
                    uniform = small.At(x + dx, y + dy) == p;
            if (!uniform) continue;
            ++compared;
            for (int32_t j = 0; j < 2; ++j)
                for (int32_t i = 0; i < 2; ++i)
                    differing += ChannelDistance(large.At(2 * x + i, 2 * y + j), p) > 2;
        }
    }
    EXPECT_GT(compared, 1022 * 510 * 9 / 10);
    EXPECT_EQ(differing, 0);
}

TEST_F(ScaledWindow, ImagesDrawTheirHighResolutionPictureWithTheOrdinarySizeAndMask) {
    testing::TempDir folder;
    const std::string base = folder.path() + "/Pic.tga";
    WriteTga(base, 8, 8, Solid(8, 8, kRed));
    WriteTga(folder.path() + "/Pic@2x.tga", 16, 16, Checkers(16, 16));
    // A strip of two 4×4 cells whose 3x picture has a white first and a checkered second cell.
    WriteTga(folder.path() + "/Strip.tga", 8, 4, Solid(8, 4, kRed));
    std::vector<uint32_t> strip3 = Solid(24, 12, kWhite);
    const std::vector<uint32_t> checkers = Checkers(24, 12);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 12; x < 24; ++x)
            strip3[static_cast<size_t>(y * 24 + x)] = checkers[static_cast<size_t>(y * 24 + x)];
    WriteTga(folder.path() + "/Strip@3x.tga", 24, 12, strip3);

    for (const int32_t scale : {1, 2, 3}) {
        Open(scale);
        const auto image = LoadImageFrom(FromUtf8(base), 0);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(ImageWidthOf(*image), 8);
        EXPECT_EQ(LockImageFrame(*image, 0, 1, 0)->width, 8) << "the mask is the 8x8 picture";
        DrawImageFrame(*image, 10, 10, 0);
        const Surface shown = ReadSurface();
        // At 2 and 3 the 2x checkers show, texel for pixel at 2 and enlarged 1.5 times at 3;
        // at 1 the ordinary red.
        for (int32_t y = 0; y < 8 * scale; ++y) {
            for (int32_t x = 0; x < 8 * scale; ++x) {
                const uint32_t got = shown.At(10 * scale + x, 10 * scale + y);
                if (scale == 1) {
                    ASSERT_EQ(got, kRed) << x << ',' << y;
                } else if (scale == 2) {
                    ASSERT_EQ(got, (x + y) % 2 == 0 ? kWhite : kBlack) << x << ',' << y;
                } else {
                    ASSERT_NE(got, kRed) << x << ',' << y;
                }
            }
        }
        EXPECT_EQ(shown.At(10 * scale - 1, 10 * scale), kBlack);
        EXPECT_EQ(shown.At(18 * scale, 10 * scale), kBlack);

        const auto strip = LoadImageStrip(FromUtf8(folder.path() + "/Strip.tga"), 4, 4, 0, 2, 0);
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(ImageWidthOf(*strip), 4);
        DrawImageFrame(*strip, 100, 100, 0);
        DrawImageFrame(*strip, 110, 100, 1);
        const Surface cells = ReadSurface();
        // The 3x picture is nearest at or above 2 and 3; at 1 the ordinary red.
        EXPECT_EQ(cells.At(101 * scale, 101 * scale), scale == 1 ? kRed : kWhite);
        if (scale == 3) {
            for (int32_t x = 0; x < 12; ++x)
                EXPECT_EQ(cells.At(330 + x, 300), x % 2 == 0 ? kWhite : kBlack) << x;
        } else if (scale == 1) {
            EXPECT_EQ(cells.At(111, 101), kRed);
        }
        CloseOpenedGraphics();
    }

    // Decoded in the background: the ordinary picture until a worker, started by the first
    // flip, is done; then the detail, except for a frame written meanwhile.
    Open(2);
    SetImageDetailInBackground(1);
    const auto later = LoadImageFrom(FromUtf8(base), 0);
    const auto strip = LoadImageStrip(FromUtf8(folder.path() + "/Strip.tga"), 4, 4, 0, 2, 0);
    SetImageDetailInBackground(0);
    ASSERT_TRUE(later && strip && later->detail && later->detail->job);
    constexpr uint32_t kBlue = 0xFF0000FFu;
    LockImageFrame(*strip, 1, 1, 1)->ClearPixels(static_cast<int32_t>(kBlue));
    const auto draw = [&] {
        ClearScreen();
        DrawImageFrame(*later, 10, 10, 0);
        DrawImageFrame(*strip, 100, 100, 0);
        DrawImageFrame(*strip, 110, 100, 1);
        return ReadSurface();
    };
    const Surface before = draw();
    EXPECT_EQ(before.At(21, 20), kRed);
    EXPECT_EQ(before.At(202, 202), kRed);
    EXPECT_TRUE(later->detail->job && !later->detail->job->Done()) << "no frame presented yet";
    FlipGraphics(0);
    for (int tries = 0; tries < 500 && !later->detail->job->Done(); ++tries)
        usleep(10000);
    FinishImageDetail(*strip);
    const Surface after = draw();
    EXPECT_EQ(later->detail->job, nullptr) << "taken by the draw once done";
    EXPECT_EQ(after.At(20, 20), kWhite);
    EXPECT_EQ(after.At(21, 20), kBlack);
    EXPECT_EQ(after.At(202, 202), kWhite);
    EXPECT_EQ(after.At(222, 202), kBlue) << "the written frame keeps its pixels";
    EXPECT_EQ(after.At(223, 202), kBlue);
    CloseOpenedGraphics();

    // Loaded for a 1:1 window, an image follows its view into full screen (3.75 here): the
    // high-resolution picture is asked for then, and decoded in the background.
    Open(1);
    SetImageDetailInBackground(1);
    const auto follows = LoadImageFrom(FromUtf8(base), 0);
    SetImageDetailInBackground(0);
    ASSERT_TRUE(follows && follows->detail && !follows->detail->job);
    ASSERT_EQ(SetGraphicsFullScreen(1), 1);
    const auto draw_full = [&] {
        ClearScreen();
        DrawImageFrame(*follows, 10, 10, 0);
        return ReadSurface();
    };
    // Logical (12, 12) is window pixel (45, 165): inside the frame, between the bars.
    EXPECT_EQ(draw_full().At(45, 165), kRed);
    ASSERT_TRUE(follows->detail->job);
    FlipGraphics(0);
    for (int tries = 0; tries < 500 && !follows->detail->job->Done(); ++tries)
        usleep(10000);
    EXPECT_NE(draw_full().At(45, 165), kRed) << "the 2x checkers, filtered";
    EXPECT_EQ(follows->detail->scale, 2);
    SetGraphicsFullScreen(0);
}

// An image frame drawn at (x, y) and `scale` times its size, inside the viewport
// (201, 151, 17, 21) when `clipped`.
struct Placement {
    TImage* image;
    float x, y;
    bool clipped;
    float scale = 1;
};

// Each placement as one whole quad by plain GL in the current view, blended by alpha as
// BlendAlpha does, its texture filtered as it was made.
void DrawWholeQuads(const std::vector<Placement>& placements) {
    SubmitGLVex2DDrawing();
    const GraphicsView view = CurrentGraphicsView();
    int32_t surface_width = 0, surface_height = 0;
    CurrentGraphics()->GetSurface(surface_width, surface_height);
    const auto edge = [&](float logical) {
        return static_cast<GLint>(std::lround(logical * view.scale));
    };
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    glColor4ub(255, 255, 255, 255);
    for (const Placement& p : placements) {
        const auto& frame = *std::static_pointer_cast<TGLImageFrame>(p.image->Frame(0));
        if (p.clipped) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(view.x + edge(201), surface_height - view.y - edge(172),
                      edge(218) - edge(201), edge(172) - edge(151));
        }
        const float w = static_cast<float>(p.image->width) * p.scale;
        const float h = static_cast<float>(p.image->height) * p.scale;
        const float s1 = static_cast<float>(p.image->width) * frame.texel_scale * frame.uscale;
        const float t1 = static_cast<float>(p.image->height) * frame.texel_scale * frame.vscale;
        glBindTexture(GL_TEXTURE_2D, frame.name);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(p.x, p.y);
        glTexCoord2f(s1, 0);
        glVertex2f(p.x + w, p.y);
        glTexCoord2f(s1, t1);
        glVertex2f(p.x + w, p.y + h);
        glTexCoord2f(0, t1);
        glVertex2f(p.x, p.y + h);
        glEnd();
        glDisable(GL_SCISSOR_TEST);
    }
    SelectGraphics(TVex2DGraphics::Current());  // the driver's caches no longer hold
}

// Opaque frames at 1:1, at 2 and at 3 texels a pixel, overlapping one another at positions
// off the grid of whole drawing units, a translucent frame and hills with a clear sky between
// them, one frame inside a viewport, and frames at a quarter of their size at positions
// between sixty-fourths of a pixel, each partly covered by the next: the quads that later
// opaque quads cover are cut at whole drawing units (at 3, every third window pixel; full
// screen at 3.75, every fifteenth), the hills between whole image pixels, those off the
// sixty-fourths not at all (pieces of them would round differently from the whole), and a
// frame drawn 1:1 on the texel grid is filtered nearest; the frame must equal its quads drawn
// whole with their textures' own filtering.
TEST_F(ScaledWindow, CoveredFramesCutAtWholeUnitsMatchTheUncutFramePixelForPixel) {
    testing::TempDir folder;
    std::vector<uint32_t> pattern;
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 48; ++x)
            pattern.push_back(0xFF000000u | static_cast<uint32_t>(x * 5) << 16 |
                              static_cast<uint32_t>(y * 5) << 8 | ((x ^ y) & 1) * 255);
    WriteTga(folder.path() + "/Three.tga", 16, 16, Solid(16, 16, kRed));
    WriteTga(folder.path() + "/Three@3x.tga", 48, 48, pattern);
    std::vector<uint32_t> noise;
    for (uint32_t i = 0; i < 192 * 192; ++i)
        noise.push_back(0xFF000000u | (i * 2654435761u >> 8 & 0xFFFFFFu));
    WriteTga(folder.path() + "/Big.tga", 64, 64, Solid(64, 64, kRed));
    WriteTga(folder.path() + "/Big@3x.tga", 192, 192, noise);
    pattern.resize(32 * 32);
    WriteTga(folder.path() + "/Two.tga", 16, 16, Solid(16, 16, kRed));
    WriteTga(folder.path() + "/Two@2x.tga", 32, 32, pattern);
    auto plain = NewPixmap(40, 24, PIXEL_RGBA32, 4);
    auto glass = NewPixmap(30, 30, PIXEL_RGBA32, 4);
    auto hills = NewPixmap(60, 40, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            const auto shade = static_cast<uint32_t>(x * 4 + y * 2);
            if (x < 40 && y < 24)
                plain->WritePixel(x, y, static_cast<int32_t>(0xFF2040C0u + shade));
            if (x < 30 && y < 30)
                glass->WritePixel(x, y, static_cast<int32_t>(0x80F0F000u + shade));
            const int32_t ridge = 10 + x % 13;
            hills->WritePixel(x, y,
                              y < ridge    ? 0
                              : y == ridge ? static_cast<int32_t>(0x8040A040u)
                                           : static_cast<int32_t>(0xFF30A030u + shade));
        }
    }
    for (const bool full_screen : {false, true}) {
        SCOPED_TRACE(full_screen ? "full screen" : "window at 3");
        Open(3);
        if (full_screen) {
            ASSERT_EQ(SetGraphicsFullScreen(1), 1);
        }
        const ImagePtr images[] = {LoadImageFrom(FromUtf8(folder.path() + "/Three.tga"), 0),
                                   LoadImageFrom(FromUtf8(folder.path() + "/Two.tga"), 0),
                                   LoadImageFrom(plain, 0)};
        const auto translucent = LoadImageFrom(glass, 0);
        const auto landscape = LoadImageFrom(hills, 0);
        const auto big = LoadImageFrom(FromUtf8(folder.path() + "/Big.tga"), 0);
        std::vector<Placement> placements;
        for (int32_t i = 0; i < 12; ++i) {
            placements.push_back({images[i % 3].get(), 100 + 13.25f * static_cast<float>(i),
                                  80 + 9.5f * static_cast<float>(i), false});
            if (i == 4) placements.push_back({translucent.get(), 150.5f, 120, false});
            if (i == 7) placements.push_back({landscape.get(), 160, 130.75f, false});
        }
        placements.push_back({images[2].get(), 195.5f, 150, true});
        placements.push_back({images[0].get(), 250.25f, 180.5f, false});
        placements.push_back({images[2].get(), 300.111f, 200.3f, false});
        placements.push_back({images[0].get(), 310, 210, false});
        for (int32_t i = 0; i < 40; ++i) {
            const float x = 400 + 14.111f * static_cast<float>(i),
                        y = 300.16f + static_cast<float>(i % 7) * 0.37f;
            placements.push_back({big.get(), x, y, false, 0.25f});
            placements.push_back({images[2].get(), x + 9, y + 6, false});
        }
        const auto draw = [&] {
            SetClearColor(0, 0, 0);
            ClearScreen();
            SetDrawBlend(BlendAlpha);
            for (const Placement& p : placements) {
                if (p.clipped) SetDrawViewport(201, 151, 17, 21);
                SetDrawScale(p.scale, p.scale);
                DrawImageFrame(*p.image, p.x, p.y, 0);
                SetDrawScale(1, 1);
                SetDrawViewport(0, 0, 1024, 512);
            }
        };
        draw();  // makes the textures
        const long uncut_fragments = CountGLFragments([&] {
            ClearScreen();
            DrawWholeQuads(placements);
        });
        const Surface uncut = ReadSurface();
        const long cut_fragments = CountGLFragments(draw);
        const Surface cut = ReadSurface();
        ASSERT_EQ(cut.pixels.size(), uncut.pixels.size());
        int32_t differ = 0;
        for (size_t i = 0; i < cut.pixels.size(); ++i)
            differ += cut.pixels[i] != uncut.pixels[i];
        EXPECT_EQ(differ, 0) << "pixels that differ";
        // The frames overlap by hundreds of window pixels each, which the cut leaves out.
        EXPECT_LT(cut_fragments, uncut_fragments - 10000);
        CloseOpenedGraphics();
    }
}

TEST_F(ScaledWindow, TextIsRasterisedAtTheScaleWithTheOrdinaryMetrics) {
    Open(1);
    const auto ordinary = LoadFontFace(kFreeSans, 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(ordinary, nullptr);
    SetDrawFont(ordinary);
    const int32_t width = TextWidthOf(u"Hühnerbrühe");
    const int32_t height = TextHeightOf(u"Hühnerbrühe");
    EXPECT_EQ(ordinary->_detail_font, nullptr);
    CloseOpenedGraphics();

    Open(3);
    const auto sharp = LoadFontFace(kFreeSans, 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(sharp, nullptr);
    SetDrawFont(sharp);
    EXPECT_EQ(TextWidthOf(u"Hühnerbrühe"), width);
    EXPECT_EQ(TextHeightOf(u"Hühnerbrühe"), height);
    ASSERT_NE(sharp->_detail_font, nullptr);
    EXPECT_EQ(sharp->_detail_scale, 3);
    // The H's glyph at 72 pixels: about three times the 24-pixel glyph, on the same baseline.
    const ImageGlyphPtr h = sharp->LoadGlyph(sharp->CharToGlyph(u'H'));
    ASSERT_NE(h->_detail_image, nullptr);
    // Both have a one-pixel clear ring of their own size around the ink.
    EXPECT_NEAR(h->_detail_w - 2.0f / 3, static_cast<float>(h->_w - 2), 1.5f);
    EXPECT_NEAR(h->_detail_h - 2.0f / 3, static_cast<float>(h->_h - 2), 1.5f);
    EXPECT_NEAR(h->_detail_y + 1.0f / 3, static_cast<float>(h->_y + 1), 1.0f);
    EXPECT_GE(h->_detail_image->width, 3 * (h->_w - 2) - 3);

    // Drawn: the H's left stem is a white column of window pixels as wide as three times
    // the 24-pixel stem, with sharp sides (at most one grey pixel each).
    SetDrawColor(255, 255, 255);
    DrawString(u"H", 100, 100);
    const Surface shown = ReadSurface();
    const int32_t row = 3 * (100 + h->_y + h->_h / 2);
    int32_t white = 0, grey = 0;
    for (int32_t x = 3 * 100 - 6; x < 3 * (100 + h->_w / 2); ++x) {
        const uint32_t level = shown.At(x, row) & 0xFF;
        white += level > 240;
        grey += level > 15 && level <= 240;
    }
    EXPECT_GE(white, 6);
    EXPECT_LE(grey, 2);
}

TEST_F(ScaledWindow, TheMouseIsInLogicalUnitsAndAShotHitsItsTargetAtEveryScale) {
    for (const int32_t scale : {1, 2, 3}) {
        Open(scale);
        for (const auto& [x, y] :
             std::vector<std::pair<int, int>>{{0, 0},
                                              {scale - 1, scale},
                                              {100 * scale + scale - 1, 50 * scale},
                                              {1023 * scale, 511 * scale + scale - 1}}) {
            EXPECT_EQ(MouseAfterMovingTo(x, y), std::make_pair(x / scale, y / scale))
                << "scale " << scale << " at " << x << ',' << y;
        }
        // Moving the pointer takes logical units too.
        MoveMousePointer(300, 200);
        injector->Sync();
        Window root, child;
        int root_x, root_y, x, y;
        unsigned mask;
        XQueryPointer(injector->display(), TheWindow(), &root, &child, &root_x, &root_y, &x, &y,
                      &mask);
        EXPECT_EQ(x, 300 * scale);
        EXPECT_EQ(y, 200 * scale);
        // A 20 × 20 target at (600, 150), and a 2 × 2 shot where the pointer is placed on the
        // target's middle in window pixels.
        auto solid = NewPixmap(20, 20, PIXEL_RGBA32, 4);
        solid->ClearPixels(static_cast<int32_t>(kWhite));
        const auto target = LoadImageFrom(solid, 0);
        const auto shot = LoadImageFrom(solid->Window(0, 0, 2, 2)->Copy(), 0);
        const auto [mx, my] = MouseAfterMovingTo(610 * scale, 160 * scale);
        EXPECT_EQ(ImagesOverlap(*target, 600, 150, 0, *shot, static_cast<float>(mx),
                                static_cast<float>(my), 0),
                  1)
            << "scale " << scale;
        EXPECT_EQ(ImagesOverlap(*target, 600, 150, 0, *shot, static_cast<float>(mx + 12),
                                static_cast<float>(my), 0),
                  0)
            << "scale " << scale;
        CloseOpenedGraphics();
    }
}

TEST_F(ScaledWindow, FullScreenCoversTheMonitorWithBarsAndComesBackWithTheSameTextures) {
    Open(2);
    int x, y;
    unsigned width, height;
    Geometry(x, y, width, height);
    const int windowed_x = x, windowed_y = y;
    auto pixmap = NewPixmap(8, 8, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(static_cast<int32_t>(kWhite));
    const auto image = LoadImageFrom(pixmap, 0);
    DrawImageFrame(*image, 0, 0, 0);
    const auto frame = std::dynamic_pointer_cast<TGLImageFrame>(image->Frame(0));
    ASSERT_NE(frame, nullptr);

    ASSERT_EQ(SetGraphicsFullScreen(1), 1);
    EXPECT_EQ(GraphicsFullScreen(), 1);
    Geometry(x, y, width, height);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 3840u);
    EXPECT_EQ(height, 2160u);
    XWindowAttributes attributes;
    XGetWindowAttributes(injector->display(), TheWindow(), &attributes);
    EXPECT_TRUE(attributes.override_redirect) << "no window manager runs on the test server";
    // 3840 / 1024 = 3.75 fits before 2160 / 512: 1920 rows, 120 rows of bars above and below.
    const GraphicsView view = CurrentGraphicsView();
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, 120);
    EXPECT_EQ(view.width, 3840);
    EXPECT_EQ(view.height, 1920);
    EXPECT_EQ(view.scale, 3.75f);
    EXPECT_EQ(CurrentGraphicsWidth(), 1024);

    SetClearColor(255, 0, 0);
    ClearScreen();
    DrawImageFrame(*image, 0, 0, 0);
    Surface shown = ReadSurface();
    EXPECT_EQ(shown.At(0, 119), kBlack);
    EXPECT_EQ(shown.At(3839, 2040), kBlack);
    EXPECT_EQ(shown.At(0, 120), kWhite) << "the image at the view's corner";
    EXPECT_EQ(shown.At(29, 149), kWhite);
    EXPECT_EQ(shown.At(30, 150), kRed);
    EXPECT_EQ(shown.At(3839, 2039), kRed);
    EXPECT_EQ(image->Frame(0), frame) << "the texture was kept";
    EXPECT_TRUE(glIsTexture(frame->name));

    // (p - bar) / 3.75, truncated toward zero: in the bar above, -20 / 3.75 is -5.
    EXPECT_EQ(MouseAfterMovingTo(0, 100), std::make_pair(0, -5));
    EXPECT_EQ(MouseAfterMovingTo(3, 121), std::make_pair(0, 0));
    EXPECT_EQ(MouseAfterMovingTo(1875, 1080), std::make_pair(500, 256));
    EXPECT_EQ(MouseAfterMovingTo(3839, 2039), std::make_pair(1023, 511));

    ASSERT_EQ(SetGraphicsFullScreen(0), 1);
    EXPECT_EQ(GraphicsFullScreen(), 0);
    Geometry(x, y, width, height);
    EXPECT_EQ(width, 2048u);
    EXPECT_EQ(height, 1024u);
    EXPECT_EQ(x, windowed_x);
    EXPECT_EQ(y, windowed_y);
    XGetWindowAttributes(injector->display(), TheWindow(), &attributes);
    EXPECT_FALSE(attributes.override_redirect);
    EXPECT_EQ(CurrentGraphicsView().scale, 2.0f);
    ClearScreen();
    DrawImageFrame(*image, 4, 4, 0);
    shown = ReadSurface();
    EXPECT_EQ(image->Frame(0), frame);
    EXPECT_EQ(shown.At(8, 8), kWhite);
    EXPECT_EQ(shown.At(23, 23), kWhite);
    EXPECT_EQ(shown.At(24, 24), kRed);
    EXPECT_EQ(MouseAfterMovingTo(201, 101), std::make_pair(100, 50));
}

// The same toggle where a window manager runs (VEXEL_WM_DISPLAY: 1920x1080 with one that
// follows the extended hints): the manager, not override-redirect, gives the window the screen.
class ScaledWindowUnderAWindowManager : public ScaledWindow {
  protected:
    static void SetUpTestSuite() { UseDisplayNamedBy("VEXEL_WM_DISPLAY"); }
    void SetUp() override {
        StartOn("VEXEL_WM_DISPLAY", "no X server with a window manager (set VEXEL_WM_DISPLAY)");
    }

    bool InFullScreenState() {
        Display* display = injector->display();
        const Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, TheWindow(), XInternAtom(display, "_NET_WM_STATE", False), 0,
                           64, False, XA_ATOM, &type, &format, &count, &after, &data);
        bool found = false;
        for (unsigned long i = 0; data && format == 32 && i < count; ++i)
            found = found || reinterpret_cast<unsigned long*>(data)[i] == full;
        if (data) XFree(data);
        return found;
    }
};

TEST_F(ScaledWindowUnderAWindowManager, FullScreenIsTheManagersStateAndTheFixedSizeComesBack) {
    Open(1);
    int x, y;
    unsigned width, height;
    Geometry(x, y, width, height);
    const int windowed_x = x, windowed_y = y;
    auto pixmap = NewPixmap(8, 8, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(static_cast<int32_t>(kWhite));
    const auto image = LoadImageFrom(pixmap, 0);

    ASSERT_EQ(SetGraphicsFullScreen(1), 1);
    EXPECT_EQ(GraphicsFullScreen(), 1);
    Geometry(x, y, width, height);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 1920u);
    EXPECT_EQ(height, 1080u);
    XWindowAttributes attributes;
    XGetWindowAttributes(injector->display(), TheWindow(), &attributes);
    EXPECT_FALSE(attributes.override_redirect);
    EXPECT_TRUE(InFullScreenState());
    // 1920 / 1024 = 1.875 fits before 1080 / 512: 960 rows, 60 rows of bars above and below.
    const GraphicsView view = CurrentGraphicsView();
    EXPECT_EQ(view.x, 0);
    EXPECT_EQ(view.y, 60);
    EXPECT_EQ(view.width, 1920);
    EXPECT_EQ(view.height, 960);
    EXPECT_EQ(view.scale, 1.875f);

    SetClearColor(255, 0, 0);
    ClearScreen();
    DrawImageFrame(*image, 0, 0, 0);
    Surface shown = ReadSurface();
    ASSERT_EQ(shown.width, 1920);
    ASSERT_EQ(shown.height, 1080);
    EXPECT_EQ(shown.At(0, 59), kBlack);
    EXPECT_EQ(shown.At(0, 60), kWhite);
    EXPECT_EQ(shown.At(14, 74), kWhite);
    EXPECT_EQ(shown.At(15, 75), kRed);
    EXPECT_EQ(shown.At(1919, 1019), kRed);
    EXPECT_EQ(shown.At(1919, 1020), kBlack);

    // -20 / 1.875 is -10.67, truncated toward zero.
    EXPECT_EQ(MouseAfterMovingTo(0, 40), std::make_pair(0, -10));
    EXPECT_EQ(MouseAfterMovingTo(960, 540), std::make_pair(512, 256));
    EXPECT_EQ(MouseAfterMovingTo(1919, 1019), std::make_pair(1023, 511));

    ASSERT_EQ(SetGraphicsFullScreen(0), 1);
    EXPECT_EQ(GraphicsFullScreen(), 0);
    Geometry(x, y, width, height);
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(height, 512u);
    EXPECT_EQ(x, windowed_x);
    EXPECT_EQ(y, windowed_y);
    EXPECT_FALSE(InFullScreenState());
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(injector->display(), TheWindow(), &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(hints.min_width, 1024);
    EXPECT_EQ(hints.max_width, 1024);
    EXPECT_EQ(hints.min_height, 512);
    EXPECT_EQ(hints.max_height, 512);
    EXPECT_EQ(CurrentGraphicsView().scale, 1.0f);
    ClearScreen();
    DrawImageFrame(*image, 4, 4, 0);
    shown = ReadSurface();
    EXPECT_EQ(shown.width, 1024);
    EXPECT_EQ(shown.At(4, 4), kWhite);
    EXPECT_EQ(shown.At(11, 11), kWhite);
    EXPECT_EQ(shown.At(12, 12), kRed);
    EXPECT_EQ(MouseAfterMovingTo(100, 50), std::make_pair(100, 50));
}

}  // namespace
}  // namespace vexel
