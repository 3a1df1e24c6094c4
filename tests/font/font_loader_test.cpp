#include <gtest/gtest.h>

#include <vector>

#include "font/font.h"
#include "font/for_testing.h"
#include "font/freetype_font.h"

namespace vexel {
namespace {

// A font that only says which loader made it.
class TNamedFont : public TFont {
  public:
    explicit TNamedFont(int32_t id) : id(id) {}
    int32_t Style() override { return id; }
    int32_t Height() override { return 0; }
    int32_t CountGlyphs() override { return 0; }
    int32_t CharToGlyph(int32_t) override { return -1; }
    GlyphPtr LoadGlyph(int32_t) override { return nullptr; }
    int32_t id;
};

// Answers urls equal to its own with a TNamedFont, and writes down every question.
class TRecordingLoader : public TFontLoader {
  public:
    TRecordingLoader(int32_t id, String url) : id(id), url(std::move(url)) {}
    FontPtr LoadFont(const Url& asked, int32_t, int32_t) override {
        ++questions;
        return asked.Text() == url ? std::make_shared<TNamedFont>(id) : nullptr;
    }
    int32_t id;
    String url;
    int questions = 0;
};

class FontLoaderList : public ::testing::Test {
  protected:
    void SetUp() override { ResetFontLoadersForTesting(); }
    void TearDown() override { ResetFontLoadersForTesting(); }
};

int32_t IdOf(const FontPtr& font) {
    return font ? font->Style() : -1;
}

TEST_F(FontLoaderList, NewestLoaderIsAskedFirstAndFreeTypeLast) {
    auto first = std::make_shared<TRecordingLoader>(1, u"shared");
    auto second = std::make_shared<TRecordingLoader>(2, u"shared");
    auto other = std::make_shared<TRecordingLoader>(3, u"other");
    AddFontLoader(first);
    AddFontLoader(second);
    AddFontLoader(other);
    EXPECT_EQ(IdOf(LoadFontFrom(u"shared", 10, 0)), 2);
    EXPECT_EQ(first->questions, 0);
    EXPECT_EQ(other->questions, 1);
    EXPECT_EQ(IdOf(LoadFontFrom(u"other", 10, 0)), 3);
    // Nobody of ours knows a file path: FreeType at the tail opens it.
    auto font = LoadFontFrom(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf", 24, 4);
    EXPECT_NE(std::dynamic_pointer_cast<TFreeTypeFont>(font), nullptr);
    EXPECT_EQ(font->Style(), 4);
    EXPECT_EQ(first->questions, 1);
    EXPECT_EQ(LoadFontFrom(u"/nonexistent/font.ttf", 24, 0), nullptr);
}

TEST_F(FontLoaderList, AddingALinkedLoaderAgainChangesNothing) {
    auto tail = std::make_shared<TRecordingLoader>(1, u"a");
    auto head = std::make_shared<TRecordingLoader>(2, u"b");
    AddFontLoader(tail);
    AddFontLoader(head);
    AddFontLoader(head);  // has a successor already
    AddFontLoader(tail);  // linked in front of the FreeType loader
    EXPECT_EQ(LoadFontFrom(u"nothing", 10, 0), nullptr);
    EXPECT_EQ(head->questions, 1);
    EXPECT_EQ(tail->questions, 1);
}

}  // namespace
}  // namespace vexel
