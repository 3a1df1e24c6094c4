#include "graphics/internal/scanline_overlap.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace vexel {
namespace {

// Four corners with the texture coordinates an image quad carries: (0, 0), (1, 0), (1, 1),
// (0, 1) in corner order.
struct Quad {
    std::array<float, 16> xyuv{};
    CollisionMask mask;
    bool masked = false;

    OverlapPolygon Polygon() const { return {xyuv.data(), 4, masked ? &mask : nullptr}; }
};

Quad Corners(std::array<float, 8> xy) {
    static constexpr float kUv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    Quad quad;
    for (int i = 0; i < 4; ++i) {
        quad.xyuv[i * 4 + 0] = xy[i * 2];
        quad.xyuv[i * 4 + 1] = xy[i * 2 + 1];
        quad.xyuv[i * 4 + 2] = kUv[i * 2];
        quad.xyuv[i * 4 + 3] = kUv[i * 2 + 1];
    }
    return quad;
}

// An axis-aligned quad in image corner order: top-left, top-right, bottom-right, bottom-left.
Quad Box(float x, float y, float w, float h) {
    return Corners({x, y, x + w, y, x + w, y + h, x, y + h});
}

// The same box with its corners in the other rotational direction, as a mirroring matrix
// leaves them.
Quad MirroredBox(float x, float y, float w, float h) {
    return Corners({x + w, y, x, y, x, y + h, x + w, y + h});
}

// A mask of RGBA32 pixels drawn from rows of text: '#' opaque (alpha 255), '+' alpha 128 (still
// opaque), '-' alpha 127, '.' alpha 0. Rows are padded to `pitch` bytes.
struct Mask {
    std::vector<uint8_t> bytes;
    CollisionMask view;

    Mask(const std::vector<std::string>& rows, int32_t pitch = 0) {
        const auto width = static_cast<int32_t>(rows[0].size());
        if (pitch == 0) pitch = width * 4;
        bytes.assign(static_cast<size_t>(pitch) * rows.size(), 0x55);
        for (size_t y = 0; y < rows.size(); ++y) {
            for (int32_t x = 0; x < width; ++x) {
                uint8_t* pixel =
                    &bytes[y * static_cast<size_t>(pitch) + static_cast<size_t>(x) * 4];
                const char c = rows[y][static_cast<size_t>(x)];
                pixel[0] = pixel[1] = pixel[2] = 200;
                pixel[3] = c == '#' ? 255 : c == '+' ? 128 : c == '-' ? 127 : 0;
            }
        }
        view = {bytes.data(), width, static_cast<int32_t>(rows.size()), pitch};
    }
};

Quad WithMask(Quad quad, const Mask& mask) {
    quad.mask = mask.view;
    quad.masked = true;
    return quad;
}

bool Overlap(const Quad& a, const Quad& b) {
    ScanlineOverlap overlap;
    return overlap.PolygonsOverlap(a.Polygon(), b.Polygon());
}

TEST(SolidQuads, SpansAreHalfOpenSoTouchingEdgesDoNotOverlap) {
    // Side by side: one ends at column 10, the other starts there.
    EXPECT_FALSE(Overlap(Box(0, 0, 10, 10), Box(10, 0, 10, 10)));
    EXPECT_FALSE(Overlap(Box(10, 0, 10, 10), Box(0, 0, 10, 10)));
    // Stacked: one ends at row 10, the other starts there.
    EXPECT_FALSE(Overlap(Box(0, 0, 10, 10), Box(0, 10, 10, 10)));
    // One column in common.
    EXPECT_TRUE(Overlap(Box(0, 0, 10, 10), Box(9, 0, 10, 10)));
    // One scanline in common.
    EXPECT_TRUE(Overlap(Box(0, 0, 10, 10), Box(0, 9, 10, 10)));
    // One inside the other.
    EXPECT_TRUE(Overlap(Box(0, 0, 100, 100), Box(40, 40, 2, 2)));
}

TEST(SolidQuads, MirroredAndRotatedQuadsGiveTheSameAnswers) {
    EXPECT_TRUE(Overlap(MirroredBox(0, 0, 10, 10), Box(9, 0, 10, 10)));
    EXPECT_FALSE(Overlap(MirroredBox(0, 0, 10, 10), MirroredBox(10, 0, 10, 10)));
    EXPECT_TRUE(Overlap(MirroredBox(0, 0, 10, 10), MirroredBox(0, 9, 10, 10)));
    // A 10×10 box turned by 90° about its top-left corner (as the drawing matrix places it)
    // covers -10..0 × 0..10.
    const Quad turned = Corners({0, 0, 0, 10, -10, 10, -10, 0});
    EXPECT_TRUE(Overlap(turned, Box(-1, 0, 5, 5)));
    EXPECT_FALSE(Overlap(turned, Box(0, 0, 5, 5)));
    // A diamond: its corners touch the box only outside the covered spans.
    const Quad diamond = Corners({10, 0, 20, 10, 10, 20, 0, 10});
    EXPECT_TRUE(Overlap(diamond, Box(9, 9, 2, 2)));
    EXPECT_FALSE(Overlap(diamond, Box(0, 0, 3, 3)));
}

TEST(SolidQuads, DegenerateQuadsNeverOverlapAndStayInBounds) {
    const Quad point = Corners({5, 5, 5, 5, 5, 5, 5, 5});
    const Quad flat = Corners({0, 5, 10, 5, 20, 5, 30, 5});
    const Quad vertical = Corners({5, 0, 5, 10, 5, 20, 5, 30});
    const Quad slanted = Corners({0, 0, 10, 10, 20, 20, 30, 30});
    for (const Quad& degenerate : {point, flat, vertical, slanted}) {
        EXPECT_FALSE(Overlap(degenerate, Box(0, 0, 40, 40)));
        EXPECT_FALSE(Overlap(Box(0, 0, 40, 40), degenerate));
    }
    constexpr float kFar = 3.0e9f;
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    // Coordinates beyond the Int range are held at its edge; nothing is read or written
    // outside the line buffer and the loop ends.
    EXPECT_FALSE(Overlap(Box(kFar, kFar, 10, 10), Box(0, 0, 10, 10)));
    EXPECT_FALSE(Overlap(Corners({kNaN, kNaN, kNaN, 0, 0, kNaN, 0, 0}), Box(0, 0, 10, 10)));
    EXPECT_FALSE(Overlap(Corners({-kInf, 0, kInf, 0, kInf, 0, -kInf, 0}), Box(0, 0, 10, 10)));
    // Spans wider than the line buffer is filled at once are walked in pieces; the masks'
    // sampling carries on across the pieces.
    const Mask last_fifth({"....#"});
    const Quad wide = WithMask(Box(0, 0, 10000, 1), last_fifth);
    const Mask first_fifth({"#...."});
    const Mask last_two_fifths({"...##"});
    EXPECT_FALSE(Overlap(wide, WithMask(Box(0, 0, 10000, 1), first_fifth)));
    EXPECT_TRUE(Overlap(wide, WithMask(Box(0, 0, 10000, 1), last_two_fifths)));
    EXPECT_TRUE(Overlap(wide, Box(9999, 0, 1, 1)));
    EXPECT_FALSE(Overlap(wide, Box(7999, 0, 1, 1)));
}

TEST(MaskedQuads, OverlapNeedsAColumnOpaqueInBoth) {
    // Two 4×2 masks side by side over the same 4×2 box: left half opaque, right half opaque.
    const Mask left({"##..", "##.."});
    const Mask right({"..##", "..##"});
    EXPECT_FALSE(Overlap(WithMask(Box(0, 0, 4, 2), left), WithMask(Box(0, 0, 4, 2), right)));
    // Shifting the left-opaque one right by one column makes column 2 opaque in both.
    EXPECT_TRUE(Overlap(WithMask(Box(1, 0, 4, 2), left), WithMask(Box(0, 0, 4, 2), right)));
    // A solid quad overlaps a mask only where the mask is opaque.
    EXPECT_FALSE(Overlap(Box(0, 0, 2, 2), WithMask(Box(0, 0, 4, 2), right)));
    EXPECT_TRUE(Overlap(Box(0, 0, 3, 2), WithMask(Box(0, 0, 4, 2), right)));
}

TEST(MaskedQuads, OneCommonOpaqueColumnOnOneScanlineIsAHit) {
    const Mask a({"....", "...#", "...."});
    const Mask b({"....", "#...", "...."});
    EXPECT_TRUE(Overlap(WithMask(Box(0, 0, 4, 3), a), WithMask(Box(3, 0, 4, 3), b)));
    // The same pixels one scanline apart do not meet.
    EXPECT_FALSE(Overlap(WithMask(Box(0, 0, 4, 3), a), WithMask(Box(3, 1, 4, 3), b)));
}

TEST(MaskedQuads, OpacityIsTheTopBitOfAlpha) {
    const Mask half({"+"});
    const Mask below({"-"});
    EXPECT_TRUE(Overlap(WithMask(Box(0, 0, 1, 1), half), Box(0, 0, 1, 1)));
    EXPECT_FALSE(Overlap(WithMask(Box(0, 0, 1, 1), below), Box(0, 0, 1, 1)));
}

TEST(MaskedQuads, StretchedMasksSampleAtPixelCentresWithinRowPadding) {
    // A 2×1 mask in rows of 16 bytes stretched over 8×4 pixels: columns 0..3 come from the
    // transparent texel, 4..7 from the opaque one.
    const Mask mask({".#"}, 16);
    const Quad stretched = WithMask(Box(0, 0, 8, 4), mask);
    EXPECT_FALSE(Overlap(stretched, Box(0, 0, 4, 4)));
    EXPECT_TRUE(Overlap(stretched, Box(3, 0, 2, 4)));
    // Texture coordinates beyond 0..1 are clamped to the edge texels.
    Quad beyond = Box(0, 0, 4, 1);
    for (int i = 0; i < 4; ++i)
        beyond.xyuv[i * 4 + 2] = beyond.xyuv[i * 4 + 2] * 3 - 1;
    const Mask edges({"#.#"});
    EXPECT_TRUE(Overlap(WithMask(beyond, edges), Box(0, 0, 1, 1)));
    EXPECT_TRUE(Overlap(WithMask(beyond, edges), Box(3, 0, 1, 1)));
    // An empty mask is never opaque.
    Quad empty = Box(0, 0, 4, 4);
    empty.masked = true;
    EXPECT_FALSE(Overlap(empty, Box(0, 0, 4, 4)));
}

// Word spans against the column walk. Most cases are unrotated quads of power-of-two masks
// drawn unscaled at whole, half and quarter pixels, some with texture coordinates running past
// the mask's edges, which is where the word test takes over; the rest (stretched, turned,
// unmasked, odd widths) must keep to the column walk and agree trivially.
TEST(WordSpans, AgreeWithTheColumnWalkOnRandomQuads) {
    std::mt19937 random(16);
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const auto random_mask = [&](int width, int height) {
        std::vector<std::string> rows(static_cast<size_t>(height));
        const int density = uniform(1, 9);
        for (auto& row : rows) {
            for (int x = 0; x < width; ++x)
                row += uniform(0, 9) < density ? "#+-."[uniform(0, 1)] : "#+-."[uniform(2, 3)];
        }
        return Mask(rows, width * 4 + 4 * uniform(0, 2));
    };
    const auto random_quad = [&](const Mask& mask) {
        const float x = static_cast<float>(uniform(-40, 80)) / 4;
        const float y = static_cast<float>(uniform(-40, 80)) / 4;
        const auto w = static_cast<float>(mask.view.width);
        const auto h = static_cast<float>(mask.view.height);
        Quad quad;
        switch (uniform(0, 9)) {
            case 0:  // stretched
                quad = Box(x, y, w * static_cast<float>(uniform(2, 3)) / 2, h);
                break;
            case 1: {  // turned about its corner
                const double angle = uniform(1, 359) * std::numbers::pi / 180;
                const auto c = static_cast<float>(std::cos(angle));
                const auto s = static_cast<float>(std::sin(angle));
                quad = Corners({x, y, x + w * c, y + w * s, x + w * c - h * s, y + w * s + h * c,
                                x - h * s, y + h * c});
                break;
            }
            case 2:  // twice as wide, u from -0.5 to 1.5: clamped at both ends
                quad = Box(x, y, w * 2, h);
                for (int i = 0; i < 4; ++i)
                    quad.xyuv[i * 4 + 2] = quad.xyuv[i * 4 + 2] * 2 - 0.5f;
                break;
            case 3:
                quad = MirroredBox(x, y, w, h);
                break;
            default:
                quad = Box(x, y, w, h);
        }
        if (uniform(0, 9) > 0) quad = WithMask(quad, mask);
        return quad;
    };
    ScanlineOverlap words(true), columns(false);
    int hits = 0, misses = 0;
    for (int test = 0; test < 6000; ++test) {
        const int shift_a = uniform(0, 6), shift_b = uniform(0, 6);
        const int width_a = uniform(0, 11) == 0 ? uniform(3, 40) | 1 : 1 << shift_a;
        const Mask a = random_mask(width_a, uniform(1, 40));
        const Mask b = random_mask(1 << shift_b, uniform(1, 40));
        const Quad qa = random_quad(a);
        const Quad qb = random_quad(b);
        const bool expected = columns.PolygonsOverlap(qa.Polygon(), qb.Polygon());
        ASSERT_EQ(words.PolygonsOverlap(qa.Polygon(), qb.Polygon()), expected) << "case " << test;
        (expected ? hits : misses) += 1;
    }
    // Both verdicts must be common for the comparison to mean anything.
    EXPECT_GT(hits, 1500);
    EXPECT_GT(misses, 1500);
}

}  // namespace
}  // namespace vexel
