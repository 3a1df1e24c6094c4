#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font/builtin_font.h"
#include "stream/stream_factory.h"
#include "stream/whole_file.h"
#include "support/test_support.h"

namespace vexel {
namespace {

// The byte of scan line y of character `code`.
uint8_t FontByte(int code, int y) {
    return BuiltinFontData()[static_cast<size_t>(96 * y + code - 32)];
}

TEST(BuiltinFont, ResourcesOpenThroughTheIncbinFactory) {
    const auto data = BuiltinFontData();
    const std::vector<uint8_t> expected(data.begin(), data.end());
    ASSERT_EQ(expected.size(), 1536u);
    EXPECT_EQ(LoadBytesFrom(u"incbin::vexelfont.bin"), expected);
    EXPECT_EQ(LoadBytesFrom(u"incbin::gldrawtextfont.bin"), expected);
    EXPECT_NE(OpenFileRead(u"incbin::vexelfont.bin"), nullptr);
}

TEST(BuiltinFont, BytesFollowTheTextArtScanLineMajorWithBitZeroLeft) {
    // Row 3 of 'A' is "...#....": bit 3 of byte 96 * 3 + 33.
    EXPECT_EQ(FontByte('A', 3), 0x08);
    // The cross bar of 'H' (row 7, "#######.") and the bottom of 'L' (row 12).
    EXPECT_EQ(FontByte('H', 7), 0x7F);
    EXPECT_EQ(FontByte('L', 12), 0x7F);
    // The top of 'J' is "...####.": columns 3 to 6.
    EXPECT_EQ(FontByte('J', 3), 0x78);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(FontByte(' ', y), 0) << "row " << y;

    // Every pixel against the art file itself.
    std::ifstream art(testing::SourcePath("src/font/builtin_font.txt"));
    ASSERT_TRUE(art);
    std::string line;
    int code = -1, y = 0, blocks = 0;
    while (std::getline(art, line)) {
        if (line.empty() || line[0] == ';') continue;
        if (line.rfind("char ", 0) == 0) {
            code = std::stoi(line.substr(5));
            EXPECT_EQ(code, 32 + blocks);
            ++blocks;
            y = 0;
            continue;
        }
        ASSERT_EQ(line.size(), 8u);
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(BuiltinFontPixel(code - 32, x, y), line[static_cast<size_t>(x)] == '#')
                << "code " << code << " x " << x << " y " << y;
        ++y;
    }
    EXPECT_EQ(blocks, 96);
}

TEST(BuiltinFont, ToolWritesTheSameBinaryAndRejectsMalformedArt) {
    const auto data = BuiltinFontData();
    EXPECT_EQ(testing::ReadFileBytes(testing::BinaryPath("src/font/vexelfont.bin")),
              std::vector<uint8_t>(data.begin(), data.end()));

    const std::string tool = testing::BinaryPath("tools/vexel_font_bin");
    testing::TempDir dir;
    std::ifstream art(testing::SourcePath("src/font/builtin_font.txt"));
    const std::string good((std::istreambuf_iterator<char>(art)), std::istreambuf_iterator<char>());
    const auto run = [&](const std::string& text) {
        std::ofstream(dir / "art.txt") << text;
        return testing::RunProcess({tool, dir / "art.txt", dir / "out.bin", dir / "out.cpp"});
    };
    EXPECT_EQ(run(good).status, 0);
    EXPECT_EQ(testing::ReadFileBytes(dir / "out.bin").size(), 1536u);

    std::string bad_pixel = good;
    bad_pixel[bad_pixel.find("...#....")] = 'x';  // a pixel of '$'
    EXPECT_EQ(run(bad_pixel).status, 1);
    std::string short_row = good;
    short_row.erase(short_row.find("...#...."), 1);
    EXPECT_EQ(run(short_row).status, 1);
    std::string missing_block = good.substr(0, good.find("char 127"));
    const auto result = run(missing_block);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("code 127"), std::string::npos) << result.err;
}

// Top and bottom lit rows of a glyph, -1 when it is blank.
std::pair<int, int> InkRows(char ch) {
    int top = -1, bottom = -1;
    for (int y = 0; y < 16; ++y) {
        if (FontByte(ch, y) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
    }
    return {top, bottom};
}

TEST(BuiltinFont, LettersAndDigitsShareCapHeightXHeightAndBaseline) {
    for (char ch : std::string("ABCDEFGHIJKLMNOPRSTUVWXYZ0123456789bdhkl"))
        EXPECT_EQ(InkRows(ch), std::make_pair(3, 12)) << ch;
    for (char ch : std::string("acemnorsuvwxz"))
        EXPECT_EQ(InkRows(ch), std::make_pair(6, 12)) << ch;
    for (char ch : std::string("gpqy"))
        EXPECT_EQ(InkRows(ch), std::make_pair(6, 15)) << ch;
    EXPECT_EQ(InkRows('j').second, 15);
    EXPECT_EQ(InkRows('Q').first, 3);
    // Column 7 is the gap between neighbours; only the underscore runs through it.
    for (int code = 32; code < 128; ++code) {
        if (code == '_') continue;
        for (int y = 0; y < 16; ++y)
            EXPECT_FALSE(BuiltinFontPixel(code - 32, 7, y)) << "code " << code << " row " << y;
    }
    for (int code = 33; code < 128; ++code)
        EXPECT_NE(InkRows(static_cast<char>(code)).first, -1);
}

}  // namespace
}  // namespace vexel
