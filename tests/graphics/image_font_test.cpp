#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>

#include "font/builtin_font.h"
#include "font/for_testing.h"
#include "font/freetype_font.h"
#include "graphics/image_font.h"
#include "graphics/vex2d.h"
#include "pixmap/pixel_format.h"

namespace vexel {
namespace {

const char16_t* const kFreeSans = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";

TEST(ImageFont, DefaultFontHoldsTheBuiltInGlyphsAsWhiteImages) {
    const ImageFontPtr font = TImageFont::CreateDefault();
    EXPECT_EQ(font->Height(), 16);
    EXPECT_EQ(font->Style(), 0);
    EXPECT_EQ(font->CountGlyphs(), 96);
    EXPECT_EQ(font->CharToGlyph(u' '), 0);
    EXPECT_EQ(font->CharToGlyph(u'A'), 33);
    EXPECT_EQ(font->CharToGlyph(127), 95);
    for (int32_t outside : {10, 31, 128, 200, 0x20AC})
        EXPECT_EQ(font->CharToGlyph(outside), -1);
    EXPECT_EQ(font->LoadGlyph(96), nullptr);

    for (int32_t i = 0; i < 96; ++i) {
        const ImageGlyphPtr glyph = font->LoadGlyph(i);
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(font->LoadGlyph(i), glyph);
        EXPECT_EQ(glyph->Advance(), 8.0f);
        int32_t x, y, w, h;
        glyph->GetRect(x, y, w, h);
        EXPECT_EQ(std::vector<int32_t>({x, y, w, h}), std::vector<int32_t>({0, 0, 8, 16}));
        const ImagePtr image = glyph->Pixels();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 8);
        EXPECT_EQ(image->height, 16);
        EXPECT_EQ(image->flags, 0);
        ASSERT_EQ(image->pixmaps.size(), 1u);
        const TPixmap& pixels = *image->pixmaps[0];
        EXPECT_EQ(pixels.format, PIXEL_RGBA32);
        for (int32_t py = 0; py < 16; ++py)
            for (int32_t px = 0; px < 8; ++px)
                ASSERT_EQ(pixels.ReadPixel(px, py), BuiltinFontPixel(i, px, py) ? -1 : 0)
                    << "glyph " << i << " x " << px << " y " << py;
    }
}

TEST(ImageFont, LoadedGlyphImagesAreMadeOnFirstUseWithTheStyleFlags) {
    const ImageFontPtr smooth = LoadFontFace(kFreeSans, 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(smooth, nullptr);
    auto source = std::dynamic_pointer_cast<TFreeTypeFont>(smooth->_src_font);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(smooth->_imageFlags, 6);
    EXPECT_EQ(smooth->Style(), 4);
    EXPECT_EQ(smooth->Height(), source->Height());
    EXPECT_EQ(smooth->CountGlyphs(), source->CountGlyphs());
    EXPECT_EQ(smooth->CharToGlyph(u'\u00fc'), source->CharToGlyph(u'\u00fc'));

    for (char16_t character : String(u"A\u00e4\u00d6\u00dfg")) {
        const int32_t index = smooth->CharToGlyph(character);
        ASSERT_GE(index, 0);
        EXPECT_EQ(smooth->_glyphs[static_cast<size_t>(index)], nullptr);
        const ImageGlyphPtr glyph = smooth->LoadGlyph(index);
        EXPECT_EQ(smooth->LoadGlyph(index), glyph);
        const auto from = std::dynamic_pointer_cast<TFreeTypeGlyph>(source->LoadGlyph(index));
        EXPECT_EQ(glyph->Advance(), from->Advance());
        int32_t x, y, w, h;
        glyph->GetRect(x, y, w, h);
        EXPECT_EQ(std::vector<int32_t>({x, y, w, h}),
                  std::vector<int32_t>({from->_x, from->_y, from->_w, from->_h}));
        const ImagePtr image = glyph->Pixels();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->flags, 6);
        EXPECT_EQ(image->width, w);
        EXPECT_EQ(image->height, h);
        const TPixmap& pixels = *image->pixmaps[0];
        EXPECT_NE(&pixels, from->_pixmap.get());  // a copy: the source keeps its own
        EXPECT_EQ(pixels.format, PIXEL_ALPHA8);
        for (int32_t py = 0; py < h; ++py)
            for (int32_t px = 0; px < w; ++px) {
                ASSERT_EQ(*pixels.PixelPtr(px, py), *from->_pixmap->PixelPtr(px, py));
                const bool ring = px == 0 || py == 0 || px == w - 1 || py == h - 1;
                if (ring) {
                    ASSERT_EQ(*pixels.PixelPtr(px, py), 0) << "the ring is transparent";
                }
            }
    }
    const ImageGlyphPtr space = smooth->LoadGlyph(smooth->CharToGlyph(u' '));
    EXPECT_EQ(space->Pixels(), nullptr);
    EXPECT_GT(space->Advance(), 0.0f);

    const ImageFontPtr plain = LoadFontFace(kFreeSans, 24, 0);
    EXPECT_EQ(plain->_imageFlags, 0);
    EXPECT_EQ(plain->LoadGlyph(plain->CharToGlyph(u'A'))->Pixels()->flags, 0);
}

TEST(ImageFont, FontsThatCannotBeOpenedGiveNull) {
    EXPECT_EQ(LoadFontFace(u"/nonexistent/font.ttf", 24, 4), nullptr);
    EXPECT_EQ(LoadFontFace(u"incbin::", 24, 4), nullptr);
    EXPECT_EQ(LoadFontFace(u"", 24, 4), nullptr);
}

// Wraps a FreeType font and counts how often each glyph is asked for.
class TCountingFont : public TFont {
  public:
    explicit TCountingFont(FontPtr inner) : inner(std::move(inner)) {}
    int32_t Style() override { return inner->Style(); }
    int32_t Height() override { return inner->Height(); }
    int32_t CountGlyphs() override { return inner->CountGlyphs(); }
    int32_t CharToGlyph(int32_t character) override { return inner->CharToGlyph(character); }
    GlyphPtr LoadGlyph(int32_t index) override {
        ++loads[index];
        return inner->LoadGlyph(index);
    }
    FontPtr inner;
    std::map<int32_t, int> loads;
};

class TCountingLoader : public TFontLoader {
  public:
    FontPtr LoadFont(const Url& url, int32_t size, int32_t style) override {
        if (url.Text() != u"counting::FreeSans") return nullptr;
        font = std::make_shared<TCountingFont>(TFreeTypeFont::Load(kFreeSans, size, style));
        return font;
    }
    std::shared_ptr<TCountingFont> font;
};

// Whole-pixel advances of `text` in FreeSans at 24 pixels per em, straight from FreeType;
// characters the face lacks add nothing.
int32_t FreeTypeWidth(const std::u16string& text) {
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Face(library, "/usr/share/fonts/truetype/freefont/FreeSans.ttf", 0, &face), 0);
    EXPECT_EQ(FT_Set_Pixel_Sizes(face, 0, 24), 0);
    int32_t width = 0;
    for (char16_t character : text) {
        if (FT_Get_Char_Index(face, character) == 0) continue;
        EXPECT_EQ(FT_Load_Char(face, character, FT_LOAD_DEFAULT), 0);
        width += static_cast<int32_t>(face->glyph->advance.x >> 6);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return width;
}

TEST(ImageFont, TextWidthSumsWholePixelAdvancesAndRendersEachGlyphOnce) {
    ResetFontLoadersForTesting();
    auto loader = std::make_shared<TCountingLoader>();
    AddFontLoader(loader);
    const ImageFontPtr font = LoadFontFace(u"counting::FreeSans", 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(font, nullptr);
    SetDrawFont(font);

    const String text = u"H\u00fchnerbr\u00fche \u4e00Gem\u00fcse";
    EXPECT_EQ(font->CharToGlyph(u'\u4e00'), -1);
    EXPECT_EQ(TextWidthOf(text), FreeTypeWidth(text));
    EXPECT_EQ(TextWidthOf(text), FreeTypeWidth(u"H\u00fchnerbr\u00fche Gem\u00fcse"));
    EXPECT_EQ(TextWidthOf(u"\u4e00"), 0);
    EXPECT_EQ(TextHeightOf(text), 26);
    for (int round = 0; round < 3; ++round) {
        TextWidthOf(text);
        font->Draw(text, 0, 0, 1, 0, 0, 1);
    }
    EXPECT_EQ(loader->font->loads[font->CharToGlyph(u'\u00fc')], 1);
    for (const auto& [index, count] : loader->font->loads)
        EXPECT_EQ(count, 1) << index;

    SetDrawFont(nullptr);
    EXPECT_EQ(TextHeightOf(u"x"), 16);
    EXPECT_EQ(TextWidthOf(u"AB"), 16);
    EXPECT_EQ(TextWidthOf(u"A\nB\u00c8"), 16);
    EXPECT_EQ(TextWidthOf(u" "), 8);
    ResetFontLoadersForTesting();
}

}  // namespace
}  // namespace vexel
