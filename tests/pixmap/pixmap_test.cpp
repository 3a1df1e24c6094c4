#include "pixmap/pixmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "image_test_support.h"
#include "runtime/error.h"

namespace vexel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::Noise;

// The bytes of row y, without padding.
Bytes Row(const TPixmap& pixmap, int32_t y) {
    const uint8_t* p = pixmap.PixelPtr(0, y);
    return Bytes(p, p + pixmap.width * PixelFormatBytes[pixmap.format]);
}

// Every row one after the other, without padding.
std::vector<uint8_t> AllRows(const TPixmap& pixmap) {
    std::vector<uint8_t> all;
    for (int32_t y = 0; y < pixmap.height; ++y) {
        const Bytes row = Row(pixmap, y);
        all.insert(all.end(), row.begin(), row.end());
    }
    return all;
}

// A pixmap filled from `rows`, each row's bytes in the pixmap's format.
PixmapPtr Make(int32_t format, int32_t width, const std::vector<Bytes>& rows) {
    PixmapPtr pixmap = NewPixmap(width, static_cast<int32_t>(rows.size()), format, 4);
    for (size_t y = 0; y < rows.size(); ++y) {
        std::memcpy(pixmap->PixelPtr(0, static_cast<int32_t>(y)), rows[y].data(), rows[y].size());
    }
    return pixmap;
}

TEST(Pixmap, CreateRoundsThePitchUpToTheAlignment) {
    PixmapPtr rgb = NewPixmap(3, 2, PIXEL_RGB24, 4);
    EXPECT_EQ(rgb->pitch, 12);
    EXPECT_EQ(rgb->capacity, 24);
    EXPECT_EQ(NewPixmap(1, 1, PIXEL_BGRA32, 4)->pitch, 4);
    PixmapPtr grey = NewPixmap(5, 3, PIXEL_GREY8, 4);
    EXPECT_EQ(grey->pitch, 8);
    EXPECT_EQ(grey->capacity, 24);
    EXPECT_EQ(NewPixmap(5, 1, PIXEL_RGB24, 1)->pitch, 15);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(grey->pixels) % 16, 0u);
    EXPECT_EQ(PixmapPitchOf(*grey), 8);
    EXPECT_EQ(PixmapWidthOf(*grey), 5);
    EXPECT_EQ(PixmapHeightOf(*grey), 3);
    EXPECT_EQ(PixmapFormatOf(*grey), PIXEL_GREY8);
    EXPECT_EQ(PixmapAddressOf(*grey, 2, 1), grey->pixels + 10);
    EXPECT_EQ(rgb->PixelPtr(2, 1), rgb->pixels + 18);
}

TEST(Pixmap, CreateRejectsSizesThatDoNotFit) {
    EXPECT_THROW(NewPixmap(-1, 1, PIXEL_GREY8, 4), RuntimeError);
    EXPECT_THROW(NewPixmap(65536, 65536, PIXEL_RGBA32, 4), RuntimeError);
    PixmapPtr empty = NewPixmap(0, 0, PIXEL_RGBA32, 4);
    EXPECT_EQ(empty->capacity, 0);
}

TEST(Pixmap, LargePixmapsReuseTheMemoryOfOnesThatWent) {
    // A 2048×2048 picture loaded again and again gets the same pages each time.
    auto first = NewPixmap(2048, 2048, PIXEL_RGBA32, 4);
    const uint8_t* memory = first->pixels;
    std::memset(first->pixels, 0x5A, static_cast<size_t>(first->capacity));
    first.reset();
    auto second = NewPixmap(2048, 2048, PIXEL_RGBA32, 4);
    EXPECT_EQ(second->pixels, memory);
    EXPECT_EQ(second->capacity, 2048 * 2048 * 4);
    // A smaller request does not take a block much larger than it needs; one a little
    // smaller (a picture of a few rows less) does.
    second.reset();
    auto quarter = NewPixmap(1024, 1024, PIXEL_RGBA32, 4);
    EXPECT_NE(quarter->pixels, memory);
    auto shorter = NewPixmap(2048, 2000, PIXEL_RGBA32, 4);
    EXPECT_EQ(shorter->pixels, memory);
    EXPECT_EQ(shorter->capacity, 2048 * 2000 * 4);
    // Written to the end of the rows it asked for, with nothing left of the earlier picture
    // assumed.
    shorter->ClearPixels(-1);
    EXPECT_EQ(shorter->ReadPixel(2047, 1999), -1);
}

TEST(Pixmap, ALargeBlockLentToASmallerPixmapComesBackWhole) {
    // A picture of a few rows less borrows the block of a full one; once it goes, the next
    // full picture gets that block again rather than fresh pages.
    auto full = NewPixmap(1800, 1800, PIXEL_RGBA32, 4);
    const uint8_t* memory = full->pixels;
    full.reset();
    auto shorter = NewPixmap(1800, 1700, PIXEL_RGBA32, 4);
    ASSERT_EQ(shorter->pixels, memory);
    EXPECT_EQ(shorter->capacity, 1800 * 1700 * 4);
    shorter.reset();
    auto again = NewPixmap(1800, 1800, PIXEL_RGBA32, 4);
    EXPECT_EQ(again->pixels, memory);
    EXPECT_EQ(again->capacity, 1800 * 1800 * 4);
    again->ClearPixels(-1);
    EXPECT_EQ(again->ReadPixel(1799, 1799), -1);
}

TEST(Pixmap, KeptBlocksOfSizesNoLongerAskedForMakeRoomForNewOnes) {
    // Five 16 MiB pictures at once fill the room for kept blocks; a picture of another size
    // that comes and goes afterwards still has its block kept for the next one like it.
    std::vector<PixmapPtr> big;
    for (int i = 0; i < 5; ++i)
        big.push_back(NewPixmap(2048, 2048, PIXEL_RGBA32, 4));
    big.clear();
    auto other = NewPixmap(1800, 1800, PIXEL_RGBA32, 4);
    const uint8_t* memory = other->pixels;
    other.reset();
    EXPECT_EQ(NewPixmap(1800, 1800, PIXEL_RGBA32, 4)->pixels, memory);
}

TEST(Pixmap, StaticPixmapsBorrowMemory) {
    uint8_t memory[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    PixmapPtr pixmap = WrapPixmapMemory(memory, 2, 1, 8, PIXEL_BGRA32);
    EXPECT_EQ(pixmap->capacity, -1);
    EXPECT_EQ(ReadPixmapPixel(*pixmap, 1, 0), int32_t(0x08070605));
    pixmap.reset();  // must not free the array
    EXPECT_EQ(memory[0], 1);
}

TEST(Pixmap, ClearToWhiteOnBGRAReadsBackMinusOne) {
    PixmapPtr pixmap = NewPixmap(3, 2, PIXEL_BGRA32, 4);
    pixmap->ClearPixels(-1);
    for (int32_t y = 0; y < 2; ++y)
        EXPECT_EQ(Row(*pixmap, y), Bytes(12, 255));
    EXPECT_EQ(pixmap->ReadPixel(2, 1), -1);
}

TEST(Pixmap, WritePixelOnGreyStoresTheAverage) {
    PixmapPtr pixmap = NewPixmap(2, 1, PIXEL_GREY8, 4);
    pixmap->WritePixel(1, 0, int32_t(0x80102030));
    EXPECT_EQ(pixmap->pixels[1], 32);
    EXPECT_EQ(uint32_t(pixmap->ReadPixel(1, 0)), 0xFF202020u);
}

TEST(Pixmap, SinglePixelsInEveryCoveredFormat) {
    const int32_t argb = int32_t(0x40C08020);  // a 0x40, r 0xC0, g 0x80, b 0x20
    const std::vector<std::tuple<int32_t, Bytes, uint32_t>> cases = {
        {PIXEL_GREY8, {0x75}, 0xFF757575u},  // (0xC0 + 0x80 + 0x20) div 3
        {PIXEL_ALPHA8, {0x40}, 0x40FFFFFFu},
        {PIXEL_BGR24, {0x20, 0x80, 0xC0}, 0xFFC08020u},
        {PIXEL_RGB24, {0xC0, 0x80, 0x20}, 0xFFC08020u},
        {PIXEL_BGRA32, {0x20, 0x80, 0xC0, 0x40}, 0x40C08020u},
        {PIXEL_RGBA32, {0xC0, 0x80, 0x20, 0x40}, 0x40C08020u},
    };
    for (const auto& [format, bytes, read] : cases) {
        PixmapPtr pixmap = NewPixmap(2, 2, format, 4);
        pixmap->ClearPixels(0);
        WritePixmapPixel(*pixmap, 1, 1, argb);
        EXPECT_EQ(Row(*pixmap, 1), [&] {
            Bytes row(bytes.size(), 0);
            row.insert(row.end(), bytes.begin(), bytes.end());
            return row;
        }()) << PixelFormatName(format);
        EXPECT_EQ(uint32_t(pixmap->ReadPixel(1, 1)), read) << PixelFormatName(format);
        FillPixmap(*pixmap, argb);
        const Bytes filled = Row(*pixmap, 0);
        EXPECT_EQ(Bytes(filled.begin(), filled.begin() + bytes.size()), bytes);
    }
    for (int32_t format = PIXEL_RED8; format <= PIXEL_LUMINANCE8; ++format) {
        PixmapPtr pixmap = NewPixmap(1, 1, format, 4);
        pixmap->pixels[0] = 77;
        pixmap->WritePixel(0, 0, argb);
        pixmap->ClearPixels(argb);
        EXPECT_EQ(pixmap->pixels[0], 77) << PixelFormatName(format);
        EXPECT_EQ(pixmap->ReadPixel(0, 0), 0) << PixelFormatName(format);
        pixmap->ClearPixels(0);
        EXPECT_EQ(pixmap->pixels[0], 0) << PixelFormatName(format);
    }
}

TEST(Pixmap, ClearingAPaddedPixmapLeavesThePaddingAlone) {
    PixmapPtr pixmap = NewPixmap(3, 2, PIXEL_GREY8, 4);
    std::memset(pixmap->pixels, 0xAA, 8);
    pixmap->ClearPixels(0);
    EXPECT_EQ(Bytes(pixmap->pixels, pixmap->pixels + 8), (Bytes{0, 0, 0, 0xAA, 0, 0, 0, 0xAA}));
    pixmap->ClearPixels(int32_t(0xFF303030));
    EXPECT_EQ(Bytes(pixmap->pixels, pixmap->pixels + 8),
              (Bytes{0x30, 0x30, 0x30, 0xAA, 0x30, 0x30, 0x30, 0xAA}));

    PixmapPtr rgb = NewPixmap(1, 2, PIXEL_RGB24, 4);
    std::memset(rgb->pixels, 0xAA, 8);
    rgb->ClearPixels(int32_t(0xFF010203));
    EXPECT_EQ(Bytes(rgb->pixels, rgb->pixels + 8), (Bytes{1, 2, 3, 0xAA, 1, 2, 3, 0xAA}));
}

TEST(Pixmap, WindowsShareMemoryAndKeepTheParentAlive) {
    PixmapPtr parent = NewPixmap(4, 4, PIXEL_RGBA32, 4);
    parent->ClearPixels(0);
    PixmapPtr window = PixmapSubWindow(*parent, 1, 2, 2, 2);
    EXPECT_EQ(window->pixels, parent->PixelPtr(1, 2));
    EXPECT_EQ(window->pitch, 16);
    EXPECT_EQ(window->capacity, -1);
    EXPECT_EQ(window->_source, parent);
    window->WritePixel(1, 1, int32_t(0x11223344));
    EXPECT_EQ(uint32_t(parent->ReadPixel(2, 3)), 0x11223344u);
    parent->WritePixel(1, 2, -1);
    EXPECT_EQ(window->ReadPixel(0, 0), -1);

    std::weak_ptr<TPixmap> watch = parent;
    parent.reset();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(uint32_t(window->ReadPixel(1, 1)), 0x11223344u);  // ASan would see a freed read
    window.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(Pixmap, CopyDropsPadding) {
    uint8_t memory[2 * 7];
    for (int i = 0; i < 14; ++i)
        memory[i] = uint8_t(i);
    PixmapPtr padded = WrapPixmapMemory(memory, 2, 2, 7, PIXEL_RGB24);
    PixmapPtr copy = DuplicatePixmap(*padded);
    EXPECT_EQ(copy->pitch, 8);
    EXPECT_EQ(copy->capacity, 16);
    EXPECT_EQ(copy->format, PIXEL_RGB24);
    EXPECT_EQ(Row(*copy, 0), (Bytes{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Row(*copy, 1), (Bytes{7, 8, 9, 10, 11, 12}));
}

TEST(Pixmap, PasteAndConvertGoThroughRowConversion) {
    PixmapPtr target = NewPixmap(3, 3, PIXEL_RGBA32, 4);
    target->ClearPixels(0);
    PixmapPtr source = Make(PIXEL_BGR24, 2, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    EXPECT_EQ(target->Paste(*source, 1, 1), 0);
    EXPECT_EQ(Row(*target, 0), Bytes(12, 0));
    EXPECT_EQ(Row(*target, 1), (Bytes{0, 0, 0, 0, 3, 2, 1, 255, 6, 5, 4, 255}));
    EXPECT_EQ(Row(*target, 2), (Bytes{0, 0, 0, 0, 9, 8, 7, 255, 12, 11, 10, 255}));

    PixmapPtr grey = ReformatPixmap(*source, PIXEL_GREY8);
    EXPECT_EQ(grey->format, PIXEL_GREY8);
    EXPECT_EQ(grey->pitch, 4);
    EXPECT_EQ(Row(*grey, 0), (Bytes{2, 5}));
    EXPECT_EQ(Row(*grey, 1), (Bytes{8, 11}));
}

TEST(Pixmap, ColorKeyOfASingleKeyPixelIsClear) {
    PixmapPtr one = Make(PIXEL_RGBA32, 1, {{255, 0, 255, 255}});
    PixmapPtr keyed = ColorKeyPixmap(*one, 255, 0, 255);
    EXPECT_NE(keyed, one);
    EXPECT_EQ(Row(*keyed, 0), (Bytes{0, 0, 0, 0}));
}

TEST(Pixmap, ColorKeyMakesOtherPixelsOpaque) {
    PixmapPtr two = Make(PIXEL_RGBA32, 2, {{255, 0, 255, 7, 255, 0, 0, 128}});
    PixmapPtr keyed = ColorKeyPixmap(*two, 255, 0, 255);
    EXPECT_EQ(Row(*keyed, 0), (Bytes{255, 0, 0, 0, 255, 0, 0, 255}));
}

TEST(Pixmap, ColorKeyAveragesTheNeighboursOfKeyPixels) {
    // A BGR24 picture, converted on the way: key (0, 0, 0) in the corner and the middle.
    PixmapPtr picture = Make(
        PIXEL_BGR24, 3,
        {{0, 0, 0, 30, 20, 10, 0, 0, 0}, {6, 5, 4, 0, 0, 0, 9, 8, 7}, {1, 1, 1, 2, 2, 2, 3, 3, 3}});
    PixmapPtr keyed = ColorKeyPixmap(*picture, 0, 0, 0);
    EXPECT_EQ(keyed->format, PIXEL_RGBA32);
    // (0,0): neighbours (10,20,30), (4,5,6): sums 14, 25, 36 over 2.
    // (2,0): neighbours (10,20,30), (7,8,9): sums 17, 28, 39 over 2.
    EXPECT_EQ(Row(*keyed, 0), (Bytes{7, 12, 18, 0, 10, 20, 30, 255, 8, 14, 19, 0}));
    // (1,1): six non-key neighbours: red 10+4+7+1+2+3 = 27, green 20+5+8+6 = 39,
    // blue 30+6+9+6 = 51, each over 6.
    EXPECT_EQ(Row(*keyed, 1), (Bytes{4, 5, 6, 255, 4, 6, 8, 0, 7, 8, 9, 255}));
    EXPECT_EQ(Row(*keyed, 2), (Bytes{1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3, 255}));
}

// The colour-key rule computed plainly, one pixel at a time, on an RGBA32 pixmap.
std::vector<uint8_t> KeyByTheRule(const TPixmap& s, uint8_t red, uint8_t green, uint8_t blue) {
    auto is_key = [&](const uint8_t* p) { return p[0] == red && p[1] == green && p[2] == blue; };
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            const uint8_t* p = s.PixelPtr(x, y);
            if (!is_key(p)) {
                out.insert(out.end(), {p[0], p[1], p[2], 255});
                continue;
            }
            int n = 0, sum[3] = {0, 0, 0};
            for (int32_t ny = y - 1; ny <= y + 1; ++ny) {
                for (int32_t nx = x - 1; nx <= x + 1; ++nx) {
                    if (nx < 0 || ny < 0 || nx >= s.width || ny >= s.height) continue;
                    const uint8_t* q = s.PixelPtr(nx, ny);
                    if (is_key(q)) continue;
                    ++n;
                    for (int k = 0; k < 3; ++k)
                        sum[k] += q[k];
                }
            }
            if (n == 0) {
                out.insert(out.end(), {0, 0, 0, 0});
            } else {
                out.insert(out.end(),
                           {uint8_t(sum[0] / n), uint8_t(sum[1] / n), uint8_t(sum[2] / n), 0});
            }
        }
    }
    return out;
}

// Random pictures from few values (the key, 0, 1, 254, 255 and noise in each channel, and
// near-keys differing in one channel) at key shares from none to nearly all, so that sums
// reach their extremes and every count of neighbours from 0 to 8 occurs, also at the edges.
TEST(Pixmap, ColorKeyMatchesTheRuleOnRandomPictures) {
    uint32_t state = 5;
    auto next = [&](uint32_t limit) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % limit;
    };
    const uint8_t key[3] = {255, 0, 255};
    for (int i = 0; i < 400; ++i) {
        const auto w = int32_t(1 + next(40)), h = int32_t(1 + next(9));
        const uint32_t key_share = next(101);
        PixmapPtr picture = NewPixmap(w, h, PIXEL_RGBA32, 4);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* p = picture->PixelPtr(x, y);
                p[3] = uint8_t(next(256));
                if (next(100) < key_share) {
                    std::copy_n(key, 3, p);
                    if (next(8) == 0) p[next(3)] ^= 1;  // a near-key, which is not the key
                    continue;
                }
                for (int k = 0; k < 3; ++k) {
                    const uint8_t extremes[4] = {0, 1, 254, 255};
                    p[k] = next(3) == 0 ? uint8_t(next(256)) : extremes[next(4)];
                }
            }
        }
        PixmapPtr keyed = ColorKeyPixmap(*picture, key[0], key[1], key[2]);
        ASSERT_EQ(AllRows(*keyed), KeyByTheRule(*picture, key[0], key[1], key[2]))
            << w << "x" << h << ", key share " << key_share << "%";
    }
}

TEST(Pixmap, MirrorsKeepTheFormat) {
    PixmapPtr picture =
        Make(PIXEL_RGB24, 3, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}});
    PixmapPtr x = MirrorPixmapX(*picture);
    EXPECT_EQ(x->format, PIXEL_RGB24);
    EXPECT_EQ(Row(*x, 0), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(Row(*x, 1), (Bytes{16, 17, 18, 13, 14, 15, 10, 11, 12}));
    PixmapPtr y = MirrorPixmapY(*picture);
    EXPECT_EQ(Row(*y, 0), Row(*picture, 1));
    EXPECT_EQ(Row(*y, 1), Row(*picture, 0));
}

TEST(Pixmap, ScaleToTheSameSizeReproducesTheImage) {
    PixmapPtr picture = NewPixmap(5, 3, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 20; ++x)
            picture->PixelPtr(0, y)[x] = uint8_t(x * 13 + y * 71);
    }
    PixmapPtr same = ScalePixmap(*picture, 5, 3);
    for (int32_t y = 0; y < 3; ++y)
        EXPECT_EQ(Row(*same, y), Row(*picture, y));
}

TEST(Pixmap, ScaleOneByOneReplicatesThePixelAndKeepsTheFormat) {
    PixmapPtr one = Make(PIXEL_RGB24, 1, {{200, 100, 50}});
    PixmapPtr big = ScalePixmap(*one, 4, 4);
    EXPECT_EQ(big->format, PIXEL_RGB24);
    for (int32_t y = 0; y < 4; ++y) {
        EXPECT_EQ(Row(*big, y), (Bytes{200, 100, 50, 200, 100, 50, 200, 100, 50, 200, 100, 50}));
    }
}

TEST(Pixmap, ScaleBlendsWithPixelCentresAligned) {
    // 2 -> 4: fx = -0.25 (clamped), 0.25, 0.75, 1.25 (clamped).
    PixmapPtr pair = Make(PIXEL_RGBA32, 2, {{0, 200, 10, 255, 200, 0, 13, 255}});
    PixmapPtr wide = ScalePixmap(*pair, 4, 1);
    EXPECT_EQ(Row(*wide, 0),
              (Bytes{0, 200, 10, 255, 50, 150, 10, 255, 150, 50, 12, 255, 200, 0, 13, 255}));
    // 4 -> 2: fx = 0.5 and 2.5, halfway blends truncated toward zero.
    PixmapPtr four = Make(PIXEL_GREY8, 4, {{10, 21, 100, 51}});
    PixmapPtr narrow = ScalePixmap(*four, 2, 1);
    EXPECT_EQ(narrow->format, PIXEL_GREY8);
    EXPECT_EQ(Row(*narrow, 0), (Bytes{15, 75}));
    // 1x2 -> 1x4 blends the rows the same way.
    PixmapPtr column = Make(PIXEL_RGBA32, 1, {{0, 0, 0, 0}, {100, 100, 100, 100}});
    PixmapPtr tall = ScalePixmap(*column, 1, 4);
    EXPECT_EQ(Row(*tall, 1), (Bytes{25, 25, 25, 25}));
    EXPECT_EQ(Row(*tall, 2), (Bytes{75, 75, 75, 75}));
    EXPECT_EQ(Row(*tall, 3), (Bytes{100, 100, 100, 100}));
}

// The resampling rule computed plainly, one pixel at a time, to hold the row-sharing
// implementation to.
std::vector<uint8_t> ScaleByTheRule(const TPixmap& s, int32_t nw, int32_t nh) {
    std::vector<uint8_t> out;
    const float xs = float(s.width) / float(nw), ys = float(s.height) / float(nh);
    for (int32_t y = 0; y < nh; ++y) {
        const float fy = (float(y) + 0.5f) * ys - 0.5f;
        int32_t iy = int32_t(std::floor(fy));
        float ty = fy - float(iy);
        int32_t row_step = s.pitch;
        if (iy < 0)
            iy = 0, ty = 0, row_step = 0;
        else if (iy >= s.height - 1)
            iy = s.height - 1, ty = 0, row_step = 0;
        for (int32_t x = 0; x < nw; ++x) {
            const float fx = (float(x) + 0.5f) * xs - 0.5f;
            int32_t ix = int32_t(std::floor(fx));
            float tx = fx - float(ix);
            int32_t col_step = 4;
            if (ix < 0)
                ix = 0, tx = 0, col_step = 0;
            else if (ix >= s.width - 1)
                ix = s.width - 1, tx = 0, col_step = 0;
            const uint8_t* p = s.PixelPtr(ix, iy);
            for (int k = 0; k < 4; ++k) {
                const float q00 = p[k], q10 = p[k + col_step], q01 = p[k + row_step],
                            q11 = p[k + row_step + col_step];
                const float top = q00 + (q10 - q00) * tx;
                const float bottom = q01 + (q11 - q01) * tx;
                out.push_back(uint8_t(int32_t(top + (bottom - top) * ty)));
            }
        }
    }
    return out;
}

TEST(Pixmap, ScaleMatchesTheRuleAtAwkwardRatios) {
    testing::WithEachRowPath([] {
        PixmapPtr picture = Noise(37, 23, 7);
        for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
                 {16, 9}, {90, 50}, {37, 61}, {3, 23}, {1, 1}, {74, 46}, {29, 17}}) {
            PixmapPtr scaled = ScalePixmap(*picture, w, h);
            ASSERT_EQ(scaled->width, w);
            EXPECT_EQ(AllRows(*scaled), ScaleByTheRule(*picture, w, h)) << w << "x" << h;
        }
    });
}

// Many random sizes both ways, so that the vector loops meet every count of columns left
// over at their ends and every mix of clamped and blended columns.
TEST(Pixmap, ScaleMatchesTheRuleAtRandomSizes) {
    testing::WithEachRowPath([] {
        uint32_t state = 99;
        auto next = [&](uint32_t limit) {
            state = state * 1664525u + 1013904223u;
            return int32_t(1 + (state >> 8) % limit);
        };
        for (int i = 0; i < 300; ++i) {
            const int32_t sw = next(70), sh = next(12), w = next(150), h = next(12);
            PixmapPtr picture = Noise(sw, sh, state);
            EXPECT_EQ(AllRows(*ScalePixmap(*picture, w, h)), ScaleByTheRule(*picture, w, h))
                << sw << "x" << sh << " -> " << w << "x" << h;
        }
    });
}

TEST(Pixmap, ScaleToNothingIsNull) {
    PixmapPtr picture = NewPixmap(2, 2, PIXEL_RGBA32, 4);
    EXPECT_EQ(ScalePixmap(*picture, 0, 4), nullptr);
    EXPECT_EQ(ScalePixmap(*picture, 4, 0), nullptr);
    EXPECT_EQ(ScalePixmap(*picture, -1, 4), nullptr);
    EXPECT_EQ(ScalePixmap(*NewPixmap(0, 0, PIXEL_RGBA32, 4), 4, 4), nullptr);
}

}  // namespace
}  // namespace vexel
