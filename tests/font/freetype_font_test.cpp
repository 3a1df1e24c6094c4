#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "font/freetype_font.h"
#include "pixmap/pixel_format.h"
#include "stream/incbin.h"
#include "support/test_support.h"

namespace vexel {
namespace {

const char* const kFreeSans = "/usr/share/fonts/truetype/freefont/FreeSans.ttf";
// A bitmap-only face that carries a single 13-pixel strike.
const char* const kFixed13 = "/usr/share/fonts/X11/misc/6x13-ISO8859-1.pcf.gz";

// FreeType used directly, as the reference every expectation is taken from.
class Reference {
  public:
    Reference(const char* path, int pixels) {
        EXPECT_EQ(FT_Init_FreeType(&library_), 0);
        EXPECT_EQ(FT_New_Face(library_, path, 0, &face_), 0) << path;
        EXPECT_EQ(FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixels)), 0);
    }
    ~Reference() {
        FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    FT_Face face() const { return face_; }
    int Height() const { return static_cast<int>(face_->size->metrics.height >> 6); }
    int Ascender() const { return static_cast<int>(face_->size->metrics.ascender >> 6); }
    // Renders `character` and returns the slot with its bitmap as FT_Bitmap_Convert makes one
    // byte per pixel of it (one-bit bitmaps give 0 and 1).
    FT_GlyphSlot Render(char16_t character, std::vector<uint8_t>& bytes) {
        EXPECT_EQ(FT_Load_Char(face_, character, FT_LOAD_RENDER), 0);
        FT_Bitmap converted;
        FT_Bitmap_Init(&converted);
        EXPECT_EQ(FT_Bitmap_Convert(library_, &face_->glyph->bitmap, &converted, 1), 0);
        bytes.clear();
        for (unsigned y = 0; y < converted.rows; ++y)
            for (unsigned x = 0; x < converted.width; ++x)
                bytes.push_back(converted.buffer[y * static_cast<unsigned>(converted.pitch) + x]);
        FT_Bitmap_Done(library_, &converted);
        return face_->glyph;
    }

  private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

std::shared_ptr<TFreeTypeGlyph> GlyphOf(TFreeTypeFont& font, char16_t character) {
    return std::dynamic_pointer_cast<TFreeTypeGlyph>(font.LoadGlyph(font.CharToGlyph(character)));
}

std::vector<uint8_t> PixelsOf(const TPixmap& pixmap) {
    std::vector<uint8_t> bytes;
    for (int y = 0; y < pixmap.height; ++y)
        for (int x = 0; x < pixmap.width; ++x)
            bytes.push_back(*pixmap.PixelPtr(x, y));
    return bytes;
}

TEST(FreeTypeFont, ScalableFaceMetricsIndicesAndAdvancesMatchFreeType) {
    Reference reference(kFreeSans, 24);
    auto font = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Height(), reference.Height());
    EXPECT_EQ(font->Height(), 26);  // FreeSans' line spacing at 24 pixels per em
    EXPECT_EQ(font->Style(), 0);
    EXPECT_EQ(font->CountGlyphs(), reference.face()->num_glyphs);

    for (char16_t character : String(u"AVWay.,Hüöäß")) {
        const int index = static_cast<int>(FT_Get_Char_Index(reference.face(), character));
        ASSERT_GT(index, 0);
        EXPECT_EQ(font->CharToGlyph(character), index - 1);
        std::vector<uint8_t> expected;
        const FT_GlyphSlot slot = reference.Render(character, expected);
        auto glyph = GlyphOf(*font, character);
        ASSERT_NE(glyph, nullptr);
        EXPECT_EQ(glyph->Advance(), static_cast<float>(slot->advance.x >> 6));
        int32_t x, y, w, h;
        glyph->GetRect(x, y, w, h);
        EXPECT_EQ(x, slot->bitmap_left);
        EXPECT_EQ(y, reference.Ascender() - slot->bitmap_top);
        EXPECT_EQ(w, static_cast<int32_t>(slot->bitmap.width));
        EXPECT_EQ(h, static_cast<int32_t>(slot->bitmap.rows));
        auto pixmap = std::dynamic_pointer_cast<TPixmap>(glyph->Pixels());
        ASSERT_NE(pixmap, nullptr);
        EXPECT_EQ(pixmap->format, PIXEL_ALPHA8);
        EXPECT_EQ(PixelsOf(*pixmap), expected) << "glyph of U+" << static_cast<int>(character);
    }
}

TEST(FreeTypeFont, SpacesAndMissingCharacters) {
    auto font = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, 0);
    ASSERT_NE(font, nullptr);
    auto space = GlyphOf(*font, u' ');
    EXPECT_EQ(space->Pixels(), nullptr);
    EXPECT_GT(space->Advance(), 0);

    Reference reference(kFreeSans, 24);
    ASSERT_EQ(FT_Get_Char_Index(reference.face(), 0x4E00), 0u);
    EXPECT_EQ(font->CharToGlyph(0x4E00), -1);
    EXPECT_EQ(font->LoadGlyph(-1), nullptr);
    EXPECT_EQ(font->LoadGlyph(font->CountGlyphs()), nullptr);
}

TEST(FreeTypeFont, GlyphsAreRenderedOnceAndKept) {
    auto font = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, 0);
    ASSERT_NE(font, nullptr);
    const int32_t index = font->CharToGlyph(u'g');
    const GlyphPtr first = font->LoadGlyph(index);
    EXPECT_EQ(font->LoadGlyph(index), first);
    EXPECT_EQ(first->Pixels(), font->LoadGlyph(index)->Pixels());
    EXPECT_EQ(font->_glyphs[static_cast<size_t>(index)], first);
    EXPECT_EQ(font->_glyphs[static_cast<size_t>(font->CharToGlyph(u'h'))], nullptr);
}

TEST(FreeTypeFont, SmoothStyleFramesEachGlyphInATransparentRing) {
    auto plain = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, 0);
    auto smooth = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(smooth, nullptr);
    EXPECT_EQ(smooth->Style(), 4);
    for (char16_t character : String(u"Wj.ü")) {
        auto inner = GlyphOf(*plain, character);
        auto framed = GlyphOf(*smooth, character);
        int32_t x0, y0, w0, h0, x1, y1, w1, h1;
        inner->GetRect(x0, y0, w0, h0);
        framed->GetRect(x1, y1, w1, h1);
        EXPECT_EQ(std::vector<int32_t>({x1, y1, w1, h1}),
                  std::vector<int32_t>({x0 - 1, y0 - 1, w0 + 2, h0 + 2}));
        EXPECT_EQ(framed->Advance(), inner->Advance());
        auto small = std::dynamic_pointer_cast<TPixmap>(inner->Pixels());
        auto big = std::dynamic_pointer_cast<TPixmap>(framed->Pixels());
        ASSERT_EQ(big->width, small->width + 2);
        ASSERT_EQ(big->height, small->height + 2);
        EXPECT_EQ(big->format, PIXEL_ALPHA8);
        for (int y = 0; y < big->height; ++y)
            for (int x = 0; x < big->width; ++x) {
                const bool ring = x == 0 || y == 0 || x == big->width - 1 || y == big->height - 1;
                const uint8_t expected = ring ? 0 : *small->PixelPtr(x - 1, y - 1);
                ASSERT_EQ(*big->PixelPtr(x, y), expected) << "x " << x << " y " << y;
            }
    }
}

TEST(FreeTypeFont, BitmapOnlyFaceStepsDownToItsSizeAndUnpacksOneBitGlyphs) {
    Reference reference(kFixed13, 13);
    auto font = TFreeTypeFont::Load(FromUtf8(kFixed13), 24, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Height(), reference.Height());
    EXPECT_EQ(font->_ft_face->size->metrics.y_ppem, 13);
    for (char16_t character : String(u"Ag@é")) {
        std::vector<uint8_t> bits;
        const FT_GlyphSlot slot = reference.Render(character, bits);
        ASSERT_EQ(slot->bitmap.pixel_mode, FT_PIXEL_MODE_MONO);
        auto pixmap = std::dynamic_pointer_cast<TPixmap>(GlyphOf(*font, character)->Pixels());
        ASSERT_NE(pixmap, nullptr);
        for (uint8_t& bit : bits)
            bit = bit ? 255 : 0;
        EXPECT_EQ(PixelsOf(*pixmap), bits) << "glyph of U+" << static_cast<int>(character);
    }
    // Asking for less than the only strike leaves no size to step down to.
    EXPECT_EQ(TFreeTypeFont::Load(FromUtf8(kFixed13), 12, 0), nullptr);
}

TEST(FreeTypeFont, UnopenableSourcesAndSizesGiveNull) {
    EXPECT_EQ(TFreeTypeFont::Load(u"/nonexistent/font.ttf", 24, 0), nullptr);
    EXPECT_EQ(TFreeTypeFont::Load(u"incbin::no such font", 24, 0), nullptr);
    static const uint8_t kNothing[1] = {0};
    RegisterIncbin(u"empty font", std::span<const uint8_t>(kNothing, 0));
    EXPECT_EQ(TFreeTypeFont::Load(u"incbin::empty font", 24, 0), nullptr);
    static const uint8_t kNotAFont[] = "this is not a font file at all";
    RegisterIncbin(u"text font", kNotAFont);
    EXPECT_EQ(TFreeTypeFont::Load(u"incbin::text font", 24, 0), nullptr);
    // Sizes below one pixel never reach FreeType's "same as the width" rule for 0, nor wrap
    // to huge unsigned sizes.
    EXPECT_EQ(TFreeTypeFont::Load(FromUtf8(kFreeSans), 0, 0), nullptr);
    EXPECT_EQ(TFreeTypeFont::Load(FromUtf8(kFreeSans), -3, 0), nullptr);

    TFreeTypeFontLoader loader;
    EXPECT_EQ(loader.LoadFont(u"", 24, 0), nullptr);
    EXPECT_NE(loader.LoadFont(FromUtf8(kFreeSans), 24, 0), nullptr);
}

TEST(FreeTypeFont, ProtocolUrlsOpenFromMemoryWithTheSameGlyphs) {
    static const std::vector<uint8_t> bytes = testing::ReadFileBytes(kFreeSans);
    RegisterIncbin(u"FreeSans.ttf", bytes);
    auto from_memory = TFreeTypeFont::Load(u"incbin::FreeSans.ttf", 24, FONTSTYLE_SMOOTH);
    auto from_file = TFreeTypeFont::Load(FromUtf8(kFreeSans), 24, FONTSTYLE_SMOOTH);
    ASSERT_NE(from_memory, nullptr);
    EXPECT_EQ(from_memory->_buf, bytes);
    EXPECT_NE(from_memory->_buf.data(), bytes.data());  // the font owns its copy
    EXPECT_TRUE(from_file->_buf.empty());
    EXPECT_EQ(from_memory->Height(), from_file->Height());
    for (char16_t character : String(u"Qü")) {
        auto a = std::dynamic_pointer_cast<TPixmap>(GlyphOf(*from_memory, character)->Pixels());
        auto b = std::dynamic_pointer_cast<TPixmap>(GlyphOf(*from_file, character)->Pixels());
        EXPECT_EQ(PixelsOf(*a), PixelsOf(*b));
    }
}

TEST(FreeTypeFont, PathsAreFileNamesUnlessTheyNameAProtocol) {
    testing::TempDir dir;
    namespace fs = std::filesystem;
    // Non-ASCII file names reach the file system as UTF-8.
    fs::copy_file(kFreeSans, fs::u8path(dir / "Schrift-\xC3\xA4.ttf"));
    EXPECT_NE(TFreeTypeFont::Load(FromUtf8(dir / "Schrift-\xC3\xA4.ttf"), 24, 0), nullptr);

    // "::" at the very start is part of a relative file name, not a protocol separator.
    fs::copy_file(kFreeSans, dir / "::FreeSans.ttf");
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    auto font = TFreeTypeFont::Load(u"::FreeSans.ttf", 24, 0);
    fs::current_path(previous);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->_buf.empty());
}

int closed_faces = 0;

TEST(FreeTypeFont, TheFaceClosesWithTheFont) {
    static const std::vector<uint8_t> bytes = testing::ReadFileBytes(kFreeSans);
    RegisterIncbin(u"FreeSans for closing.ttf", bytes);
    for (const char16_t* url : {u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                u"incbin::FreeSans for closing.ttf"}) {
        closed_faces = 0;
        auto font = TFreeTypeFont::Load(url, 24, 0);
        ASSERT_NE(font, nullptr);
        font->_ft_face->generic.finalizer = [](void*) { ++closed_faces; };
        font->LoadGlyph(font->CharToGlyph(u'x'));
        EXPECT_EQ(closed_faces, 0);
        font.reset();
        EXPECT_EQ(closed_faces, 1);
    }
}

}  // namespace
}  // namespace vexel
