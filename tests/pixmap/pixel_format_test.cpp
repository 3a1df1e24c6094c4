#include "pixmap/pixel_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "image_test_support.h"

namespace vexel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PixelFormat, TablesOfBytesAndAlphaBits) {
    const std::array<int32_t, 13> bytes = {0, 1, 1, 3, 3, 4, 4, 1, 1, 1, 1, 1, 1};
    const std::array<int32_t, 13> alpha = {0, 0, 8, 0, 0, 8, 8, 0, 0, 0, 8, 0, 0};
    for (int f = 0; f < 13; ++f) {
        EXPECT_EQ(PixelFormatBytes[f], bytes[f]) << PixelFormatName(f);
        EXPECT_EQ(PixelFormatAlphaBits[f], alpha[f]) << PixelFormatName(f);
    }
    EXPECT_STREQ(PixelFormatName(PIXEL_LUMINANCE8), "PIXEL_LUMINANCE8");
}

// Three pixels of every format, stored in its own layout, and what each expands to.
struct Sample {
    int32_t format;
    Bytes stored;
    Bytes rgba;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {PIXEL_GREY8, {0, 127, 255}, {0, 0, 0, 255, 127, 127, 127, 255, 255, 255, 255, 255}},
        {PIXEL_ALPHA8, {0, 127, 255}, {255, 255, 255, 0, 255, 255, 255, 127, 255, 255, 255, 255}},
        {PIXEL_BGR24,
         {1, 2, 3, 40, 50, 60, 255, 0, 7},
         {3, 2, 1, 255, 60, 50, 40, 255, 7, 0, 255, 255}},
        {PIXEL_RGB24,
         {1, 2, 3, 40, 50, 60, 255, 0, 7},
         {1, 2, 3, 255, 40, 50, 60, 255, 255, 0, 7, 255}},
        {PIXEL_BGRA32,
         {1, 2, 3, 4, 40, 50, 60, 70, 255, 0, 7, 9},
         {3, 2, 1, 4, 60, 50, 40, 70, 7, 0, 255, 9}},
        {PIXEL_RGBA32,
         {1, 2, 3, 4, 40, 50, 60, 70, 255, 0, 7, 9},
         {1, 2, 3, 4, 40, 50, 60, 70, 255, 0, 7, 9}},
        {PIXEL_RED8, {0, 127, 255}, {0, 0, 0, 1, 127, 0, 0, 1, 255, 0, 0, 1}},
        {PIXEL_GREEN8, {0, 127, 255}, {0, 0, 0, 1, 0, 127, 0, 1, 0, 255, 0, 1}},
        {PIXEL_BLUE8, {0, 127, 255}, {0, 0, 0, 1, 0, 0, 127, 1, 0, 0, 255, 1}},
        {PIXEL_BLACKALPHA8, {0, 127, 255}, {0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 0, 255}},
        {PIXEL_INTENSITY8, {0, 127, 255}, {0, 0, 0, 0, 127, 127, 127, 127, 255, 255, 255, 255}},
        {PIXEL_LUMINANCE8, {0, 127, 255}, {0, 0, 0, 1, 127, 127, 127, 1, 255, 255, 255, 1}},
    };
    return samples;
}

TEST(PixelFormat, ExpansionToRGBAFollowsTheTable) {
    for (const Sample& sample : Samples()) {
        Bytes out(12, 0xEE);
        ExpandRowToRGBA(sample.stored.data(), out.data(), sample.format, 3);
        EXPECT_EQ(out, sample.rgba) << PixelFormatName(sample.format);
    }
}

// RGBA pixels (10, 20, 30, 40), (255, 254, 253, 252), (1, 2, 4, 200) packed into each format.
TEST(PixelFormat, PackingFromRGBAFollowsTheTable) {
    const Bytes rgba = {10, 20, 30, 40, 255, 254, 253, 252, 1, 2, 4, 200};
    const std::vector<std::pair<int32_t, Bytes>> expected = {
        {PIXEL_GREY8, {20, 254, 2}},
        {PIXEL_ALPHA8, {40, 252, 200}},
        {PIXEL_BGR24, {30, 20, 10, 253, 254, 255, 4, 2, 1}},
        {PIXEL_RGB24, {10, 20, 30, 255, 254, 253, 1, 2, 4}},
        {PIXEL_BGRA32, {30, 20, 10, 40, 253, 254, 255, 252, 4, 2, 1, 200}},
        {PIXEL_RGBA32, rgba},
        {PIXEL_RED8, {10, 255, 1}},
        {PIXEL_GREEN8, {20, 254, 2}},
        {PIXEL_BLUE8, {30, 253, 4}},
        {PIXEL_BLACKALPHA8, {40, 252, 200}},
        {PIXEL_INTENSITY8, {25, 253, 51}},  // (100 >> 2), (1014 >> 2), (207 >> 2)
        {PIXEL_LUMINANCE8, {20, 254, 2}},
    };
    for (const auto& [format, bytes] : expected) {
        Bytes out(bytes.size() + 1, 0xEE);
        PackRowFromRGBA(rgba.data(), out.data(), format, 3);
        EXPECT_EQ(Bytes(out.begin(), out.end() - 1), bytes) << PixelFormatName(format);
        EXPECT_EQ(out.back(), 0xEE) << PixelFormatName(format) << " wrote past the row";
    }
}

// The packing table written out per pixel, to predict conversions between any two formats.
Bytes PackOne(int32_t format, const uint8_t* p) {
    const int r = p[0], g = p[1], b = p[2], a = p[3];
    switch (format) {
        case PIXEL_GREY8:
        case PIXEL_LUMINANCE8:
            return {uint8_t((r + g + b) / 3)};
        case PIXEL_ALPHA8:
        case PIXEL_BLACKALPHA8:
            return {uint8_t(a)};
        case PIXEL_BGR24:
            return {uint8_t(b), uint8_t(g), uint8_t(r)};
        case PIXEL_RGB24:
            return {uint8_t(r), uint8_t(g), uint8_t(b)};
        case PIXEL_BGRA32:
            return {uint8_t(b), uint8_t(g), uint8_t(r), uint8_t(a)};
        case PIXEL_RGBA32:
            return {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
        case PIXEL_RED8:
            return {uint8_t(r)};
        case PIXEL_GREEN8:
            return {uint8_t(g)};
        case PIXEL_BLUE8:
            return {uint8_t(b)};
        case PIXEL_INTENSITY8:
            return {uint8_t((r + g + b + a) >> 2)};
        default:
            return {};
    }
}

TEST(PixelFormat, EveryPairConvertsThroughRGBA) {
    for (const Sample& from : Samples()) {
        for (int32_t to = 1; to <= 12; ++to) {
            Bytes expected;
            for (int i = 0; i < 3; ++i) {
                const Bytes one = PackOne(to, from.rgba.data() + 4 * i);
                expected.insert(expected.end(), one.begin(), one.end());
            }
            if (from.format == to) expected = from.stored;  // a plain copy, alpha 1 and all
            Bytes out(expected.size() + 1, 0xEE);
            ConvertPixelRow(from.stored.data(), from.format, out.data(), to, 3);
            EXPECT_EQ(Bytes(out.begin(), out.end() - 1), expected)
                << PixelFormatName(from.format) << " -> " << PixelFormatName(to);
            EXPECT_EQ(out.back(), 0xEE);
        }
    }
}

// Rows longer than the internal work buffer, in both directions of a two-step conversion.
TEST(PixelFormat, LongRowsConvertCompletely) {
    const int32_t n = 1500;
    Bytes bgr(n * 3);
    for (int i = 0; i < n * 3; ++i)
        bgr[i] = uint8_t(i * 7);
    Bytes grey(n + 1, 0xEE);
    ConvertPixelRow(bgr.data(), PIXEL_BGR24, grey.data(), PIXEL_GREY8, n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(grey[i], (bgr[3 * i] + bgr[3 * i + 1] + bgr[3 * i + 2]) / 3) << i;
    }
    EXPECT_EQ(grey[n], 0xEE);
    Bytes rgb(n * 3);
    ConvertPixelRow(bgr.data(), PIXEL_BGR24, rgb.data(), PIXEL_RGB24, n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(rgb[3 * i], bgr[3 * i + 2]);
        ASSERT_EQ(rgb[3 * i + 2], bgr[3 * i]);
    }
    Bytes copy(n * 3);
    CopyPixelRow(bgr.data(), copy.data(), PIXEL_BGR24, n);
    EXPECT_EQ(copy, bgr);
}

// The word-at-a-time paths of the three-byte and swapping conversions, on an odd count so
// that the pixel-at-a-time tail runs too.
TEST(PixelFormat, WholeWordPathsMatchThePixelRules) {
    const int32_t n = 1001;
    Bytes rgb(n * 3), rgba(n * 4 + 1, 0xEE);
    for (int i = 0; i < n * 3; ++i)
        rgb[i] = uint8_t(i * 29 + 7);
    ExpandRowToRGBA(rgb.data(), rgba.data(), PIXEL_RGB24, n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(Bytes(rgba.begin() + 4 * i, rgba.begin() + 4 * i + 4),
                  (Bytes{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 255}))
            << i;
    }
    EXPECT_EQ(rgba[n * 4], 0xEE);
    for (int i = 0; i < n; ++i)
        rgba[4 * i + 3] = uint8_t(i);  // distinct alphas

    Bytes bgra(n * 4 + 1, 0xEE);
    PackRowFromRGBA(rgba.data(), bgra.data(), PIXEL_BGRA32, n);
    Bytes bgr(n * 3 + 1, 0xEE);
    PackRowFromRGBA(rgba.data(), bgr.data(), PIXEL_BGR24, n);
    Bytes back(n * 3 + 1, 0xEE);
    PackRowFromRGBA(rgba.data(), back.data(), PIXEL_RGB24, n);
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = &rgba[4 * i];
        ASSERT_EQ(Bytes(bgra.begin() + 4 * i, bgra.begin() + 4 * i + 4),
                  (Bytes{p[2], p[1], p[0], p[3]}));
        ASSERT_EQ(Bytes(bgr.begin() + 3 * i, bgr.begin() + 3 * i + 3), (Bytes{p[2], p[1], p[0]}));
    }
    EXPECT_EQ(Bytes(back.begin(), back.end() - 1), rgb);
    EXPECT_EQ(bgra[n * 4], 0xEE);
    EXPECT_EQ(bgr[n * 3], 0xEE);
    EXPECT_EQ(back[n * 3], 0xEE);

    Bytes again(n * 4);
    ExpandRowToRGBA(bgra.data(), again.data(), PIXEL_BGRA32, n);
    EXPECT_EQ(again, Bytes(rgba.begin(), rgba.end() - 1));
    ExpandRowToRGBA(bgr.data(), again.data(), PIXEL_BGR24, n);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(again[4 * i + 3], 255);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(again[4 * i], rgb[3 * i]);
}

// Three-byte pixels expand sixteen (SSSE3) or eight (AVX2, with ten left) at a time, then
// four, then one: every count up to 40 crosses each of those boundaries, and nothing past
// the row is written.
TEST(PixelFormat, ThreeBytePixelsExpandAtEveryLength) {
    testing::WithEachRowPath([] {
        for (int32_t n = 0; n <= 40; ++n) {
            Bytes three(n * 3);
            for (int32_t i = 0; i < n * 3; ++i)
                three[i] = uint8_t(i * 71 + n);
            for (const int32_t format : {PIXEL_RGB24, PIXEL_BGR24}) {
                Bytes rgba(n * 4 + 1, 0xEE);
                ExpandRowToRGBA(three.data(), rgba.data(), format, n);
                for (int32_t i = 0; i < n; ++i) {
                    const uint8_t* p = &three[3 * i];
                    const Bytes expected = format == PIXEL_RGB24 ? Bytes{p[0], p[1], p[2], 255}
                                                                 : Bytes{p[2], p[1], p[0], 255};
                    ASSERT_EQ(Bytes(rgba.begin() + 4 * i, rgba.begin() + 4 * i + 4), expected)
                        << PixelFormatName(format) << ", " << n << " pixels, pixel " << i;
                }
                EXPECT_EQ(rgba[n * 4], 0xEE) << n;
            }
        }
    });
}

// The red-blue swap runs eight, then four, then one pixel at a time: every count up to 40
// crosses each of those boundaries, and converting a row onto itself is allowed.
TEST(PixelFormat, SwapOfRedAndBlueAtEveryLength) {
    testing::WithEachRowPath([] {
        for (int32_t n = 0; n <= 40; ++n) {
            Bytes bgra(n * 4 + 1, 0xEE), rgba(n * 4 + 1, 0xEE);
            for (int32_t i = 0; i < n * 4; ++i)
                bgra[i] = uint8_t(i * 53 + n);
            ConvertPixelRow(bgra.data(), PIXEL_BGRA32, rgba.data(), PIXEL_RGBA32, n);
            for (int32_t i = 0; i < n; ++i) {
                const uint8_t* p = &bgra[4 * i];
                ASSERT_EQ(Bytes(rgba.begin() + 4 * i, rgba.begin() + 4 * i + 4),
                          (Bytes{p[2], p[1], p[0], p[3]}))
                    << n << " pixels, pixel " << i;
            }
            EXPECT_EQ(rgba[n * 4], 0xEE) << n;
            ConvertPixelRow(rgba.data(), PIXEL_RGBA32, rgba.data(), PIXEL_BGRA32, n);
            EXPECT_EQ(rgba, bgra) << n;
        }
    });
}

}  // namespace
}  // namespace vexel
