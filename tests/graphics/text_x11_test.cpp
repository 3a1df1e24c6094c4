// gtest first: Xlib defines None as a macro, which gtest uses as a type name.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "font/builtin_font.h"
#include "graphics/gl/gl_text.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "graphics/image_font.h"
#include "graphics/vex2d.h"
#include "stream/incbin.h"
#include "support/test_support.h"
#include "x_test_support.h"

namespace vexel {
namespace {

const char16_t* const kFreeSans = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 96;

// White text on black in a real window, read back from the back buffer.
class TextOnScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::HaveDisplay()) GTEST_SKIP() << "no X display (set DISPLAY)";
        SelectGraphicsDriver(TheGLVex2DDriver(), GfxFlagBackBuffer);
        ASSERT_NE(OpenGraphics(kWidth, kHeight, 0, 0, 0), nullptr);
        SetDrawFont(nullptr);
        SetDrawBlend(BlendAlpha);
        SetDrawColor(255, 255, 255);
        Clear();
    }
    void TearDown() override { CloseOpenedGraphics(); }

    static void Clear() {
        SetClearColor(0, 0, 0);
        ClearScreen();
    }
    // The RGB of every pixel of the rectangle, row by row.
    static std::vector<int32_t> Grab(int32_t x, int32_t y, int32_t width, int32_t height) {
        const PixmapPtr pixmap = GrabPixmapRect(x, y, width, height);
        std::vector<int32_t> rgb;
        for (int32_t row = 0; row < height; ++row)
            for (int32_t column = 0; column < width; ++column)
                rgb.push_back(pixmap->ReadPixel(column, row) & 0xFFFFFF);
        return rgb;
    }
    static std::vector<int32_t> Screen() { return Grab(0, 0, kWidth, kHeight); }
    static int LitPixels(const std::vector<int32_t>& rgb) {
        int lit = 0;
        for (int32_t value : rgb)
            lit += value != 0;
        return lit;
    }
};

TEST_F(TextOnScreen, BuiltInGlyphsDrawExactlyTheFontBits) {
    const String text = u"Hg@~}0";
    DrawString(text, 10, 20);
    // One cell of margin all round must stay black.
    const std::vector<int32_t> drawn = Grab(2, 4, 8 * 8, 48);
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            const int32_t cell = (x - 8) / 8, column = (x - 8) % 8, row = y - 16;
            const bool inside =
                x >= 8 && cell < static_cast<int32_t>(text.size()) && row >= 0 && row < 16;
            const bool lit =
                inside && BuiltinFontPixel(text[static_cast<size_t>(cell)] - 32, column, row);
            ASSERT_EQ(drawn[static_cast<size_t>(64 * y + x)], lit ? 0xFFFFFF : 0)
                << "x " << x + 2 << " y " << y + 4;
        }
}

TEST_F(TextOnScreen, BuiltInFontAdvancesEightAndSkipsCharactersItLacks) {
    DrawString(u"A", 40, 30);
    DrawString(u"B", 48, 30);
    const std::vector<int32_t> apart = Screen();
    EXPECT_GT(LitPixels(apart), 40);

    Clear();
    DrawString(u"AB", 40, 30);
    EXPECT_EQ(Screen(), apart);
    EXPECT_EQ(TextWidthOf(u"AB"), 16);

    Clear();
    DrawString(u"\nA\u00c8B\n", 40, 30);  // codes 10 and 200 have no glyph
    EXPECT_EQ(Screen(), apart);

    Clear();
    DrawString(u"   ", 40, 30);
    EXPECT_EQ(LitPixels(Screen()), 0);
    DrawString(u"A B", 40, 30);
    const std::vector<int32_t> spaced = Screen();
    Clear();
    DrawString(u"A", 40, 30);
    DrawString(u"B", 56, 30);
    EXPECT_EQ(Screen(), spaced);
}

TEST_F(TextOnScreen, OutlinedGlyphsSitOnABlackRingThatScalesWithThem) {
    // Over grey, each glyph's outline is black beside its ink and at alpha 202 of 255 (the
    // ring's coverage there) one diagonal away, and nothing farther; the outlines of
    // neighbouring glyphs darken each other where they overlap, but never the ink, which
    // takes the draw colour. At scale 2 every font pixel is a 2x2 block, the ring included.
    const String text = u"Hg@";
    constexpr int32_t kGrey = 100, kInk = 0xFFC800;
    EXPECT_EQ(GetTextOutline(), 0.0f);
    SetTextOutline(1);
    EXPECT_EQ(GetTextOutline(), 1.0f);
    SetDrawColor(255, 200, 0);
    const auto lit = [&](size_t cell, int32_t fx, int32_t fy) {
        return fx >= 0 && fx < 8 && fy >= 0 && fy < 16 && BuiltinFontPixel(text[cell] - 32, fx, fy);
    };
    for (const int32_t scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        SetClearColor(kGrey, kGrey, kGrey);
        ClearScreen();
        SetDrawScale(static_cast<float>(scale), static_cast<float>(scale));
        DrawString(text, 12, 20);
        const int32_t width = (8 * 3 + 4) * scale, height = 20 * scale;
        const std::vector<int32_t> drawn = Grab(12 - 2 * scale, 20 - 2 * scale, width, height);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const int32_t fx = x / scale - 2, fy = y / scale - 2;
                double grey = kGrey;
                bool ink = false;
                for (size_t cell = 0; cell < text.size(); ++cell) {
                    const int32_t cx = fx - 8 * static_cast<int32_t>(cell);
                    ink |= lit(cell, cx, fy);
                    int32_t alpha = 0;
                    for (int32_t dy = -1; dy <= 1; ++dy)
                        for (int32_t dx = -1; dx <= 1; ++dx)
                            if (lit(cell, cx + dx, fy + dy))
                                alpha = std::max(alpha, dx == 0 || dy == 0 ? 255 : 202);
                    grey = grey * (255 - alpha) / 255;
                }
                const int32_t rgb = drawn[static_cast<size_t>(width * y + x)];
                const std::string where = "x " + std::to_string(x) + " y " + std::to_string(y);
                if (ink) {
                    ASSERT_EQ(rgb, kInk) << where;
                } else {
                    ASSERT_EQ(rgb, (rgb & 0xFF) * 0x010101) << where;
                    ASSERT_NEAR(rgb & 0xFF, grey, 1.5) << where;
                }
            }
        }
    }
    // Set back to 0, the glyphs are drawn alone again.
    SetTextOutline(0);
    SetDrawScale(1, 1);
    ClearScreen();
    DrawString(text, 12, 20);
    const std::vector<int32_t> plain = Grab(10, 18, 28, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 28; ++x) {
            const int32_t fx = x - 2, fy = y - 2, cell = fx / 8;
            const bool lit = fx >= 0 && fy >= 0 && fy < 16 && cell < 3 &&
                             BuiltinFontPixel(text[static_cast<size_t>(cell)] - 32, fx % 8, fy);
            ASSERT_EQ(plain[static_cast<size_t>(28 * y + x)], lit ? kInk : kGrey * 0x010101)
                << "x " << x << " y " << y;
        }
}

TEST_F(TextOnScreen, FreeTypeFaceFromMemoryDrawsLikeItsFile) {
    static const std::vector<uint8_t> bytes =
        testing::ReadFileBytes("/usr/share/fonts/truetype/freefont/FreeSans.ttf");
    RegisterIncbin(u"FreeSans on screen.ttf", bytes);
    const String text = u"Grüße, Hühnerbrühe!";

    SetDrawFont(LoadFontFace(kFreeSans, 24, FONTSTYLE_SMOOTH));
    DrawString(text, 8, 20);
    const std::vector<int32_t> from_file = Screen();
    EXPECT_GT(LitPixels(from_file), 300);

    Clear();
    const ImageFontPtr from_memory =
        LoadFontFace(u"incbin::FreeSans on screen.ttf", 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(from_memory, nullptr);
    SetDrawFont(from_memory);
    DrawString(text, 8, 20);
    EXPECT_EQ(Screen(), from_file);

    // A character the face lacks is skipped without moving the pen.
    Clear();
    DrawString(u"Grüße, \u4e00Hühnerbrühe!", 8, 20);
    EXPECT_EQ(Screen(), from_file);
}

TEST_F(TextOnScreen, GLTextDrawsTheBuiltInGlyphsAtTheSamePlace) {
    const String text = u"Pilz-Suppe: 250 (x2) gjpqy {|}~";
    DrawString(text, 4, 30);
    const std::vector<int32_t> with_font = Screen();
    EXPECT_GT(LitPixels(with_font), 300);

    Clear();
    DrawGLText(text, 4, 30);
    EXPECT_EQ(Screen(), with_font);

    // Unlike the image font, raw GL text keeps a cell for every character.
    Clear();
    DrawGLText(u"A", 4, 30);
    DrawGLText(u"B", 20, 30);
    const std::vector<int32_t> apart = Screen();
    Clear();
    DrawGLText(u"A\nB", 4, 30);
    EXPECT_EQ(Screen(), apart);

    // A window opened again (a new graphics generation) still gets the glyphs.
    CloseOpenedGraphics();
    ASSERT_NE(OpenGraphics(kWidth, kHeight, 0, 0, 0), nullptr);
    SetDrawBlend(BlendAlpha);
    SetDrawColor(255, 255, 255);
    Clear();
    DrawGLText(text, 4, 30);
    EXPECT_EQ(Screen(), with_font);
}

}  // namespace
}  // namespace vexel
