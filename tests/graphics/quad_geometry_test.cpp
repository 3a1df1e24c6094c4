#include "graphics/gl/internal/quad_geometry.h"

#include <gtest/gtest.h>

#include <vector>

#include "graphics/gl/internal/frame_content.h"
#include "pixmap/pixel_format.h"
#include "pixmap/pixmap.h"

namespace vexel {
namespace {

// The 2-D driver's quad geometry without a window: what a frame's pixels let it skip, what
// later quads cover, and the pieces of an earlier quad left visible.

// A w × h RGBA pixmap whose pixel (x, y) has alpha alpha(x, y) (colour white).
template <typename Alpha>
PixmapPtr AlphaPixmap(int32_t w, int32_t h, Alpha alpha) {
    PixmapPtr pixmap = NewPixmap(w, h, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = pixmap->PixelPtr(x, y);
            p[0] = p[1] = p[2] = 255;
            p[3] = static_cast<uint8_t>(alpha(x, y));
        }
    }
    return pixmap;
}

// An unturned quad over drawing units (x0, y0)-(x1, y1) showing texture (s0, t0)-(s1, t1),
// with its corners in the order the driver records them.
PendingQuad Quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    PendingQuad quad{};
    quad.corners[0] = {s0, t0, x0, y0};
    quad.corners[1] = {s1, t0, x1, y0};
    quad.corners[2] = {s1, t1, x1, y1};
    quad.corners[3] = {s0, t1, x0, y1};
    quad.unturned = true;
    return quad;
}

struct Cut {
    Uncovered kind;
    std::vector<QuadCorner> pieces;
};

Cut Uncover(const PendingQuad& quad, const Coverage& coverage, CutAxis axis) {
    std::vector<std::pair<VisibleRows, float>> runs;
    Cut cut{};
    cut.kind = CollectUncovered(quad, coverage, axis, axis, runs, cut.pieces);
    return cut;
}

TEST(QuadGeometry, CutAxesNeedAnExactScaleOfASmallOddNumberTimesAPowerOfTwo) {
    const auto axis = [](int32_t pixels, float units) {
        const CutAxis a = CutAxisOf(pixels, units);
        return std::pair{a.scale, a.step};
    };
    EXPECT_EQ(axis(1024, 1024), std::pair(1.0f, 1));
    EXPECT_EQ(axis(2048, 1024), std::pair(2.0f, 1));
    EXPECT_EQ(axis(3072, 1024), std::pair(3.0f, 3));
    EXPECT_EQ(axis(1920, 1024), std::pair(1.875f, 15));
    EXPECT_EQ(axis(2560, 1024), std::pair(2.5f, 5));
    // 125/128: a grid of 125 pixels saves nothing; 17 is one step past the coarsest.
    EXPECT_EQ(axis(1000, 1024), std::pair(0.0f, 0));
    EXPECT_EQ(axis(17 * 64, 64), std::pair(0.0f, 0));
    // 1024/3 is no float; nothing shown, or nothing to show.
    EXPECT_EQ(axis(1024, 3), std::pair(0.0f, 0));
    EXPECT_EQ(axis(0, 1024), std::pair(0.0f, 0));
    EXPECT_EQ(axis(1024, 0), std::pair(0.0f, 0));
}

TEST(QuadGeometry, ContentIsMeasuredPerColumnWithTheLongestOpaqueRun) {
    // Columns 0 and 3 clear; column 1 opaque in rows 1-3; column 2 half clear in row 1,
    // opaque in rows 2-4.
    const std::vector<std::vector<int>> alpha = {
        {0, 0, 0, 0}, {0, 255, 128, 0}, {0, 255, 255, 0}, {0, 255, 255, 0}, {0, 0, 255, 0}};
    const PixmapPtr pixmap = AlphaPixmap(4, 5, [&](int32_t x, int32_t y) { return alpha[y][x]; });
    const FrameContent c = MeasureContent(*pixmap, 4, 5);
    EXPECT_FALSE(c.opaque);
    EXPECT_EQ((std::vector{c.content_x0, c.content_y0, c.content_x1, c.content_y1}),
              (std::vector{1, 1, 3, 5}));
    EXPECT_EQ(c.column_top, (std::vector{5, 1, 1, 5}));
    EXPECT_EQ(c.column_bottom, (std::vector{0, 4, 5, 0}));
    EXPECT_EQ(c.core_top, (std::vector{0, 1, 2, 0}));
    EXPECT_EQ(c.core_bottom, (std::vector{0, 4, 5, 0}));

    const FrameContent opaque =
        MeasureContent(*AlphaPixmap(2, 2, [](int, int) { return 255; }), 2, 2);
    EXPECT_TRUE(opaque.opaque);
    EXPECT_EQ(opaque.core_bottom, (std::vector{2, 2}));
    const FrameContent clear = MeasureContent(*AlphaPixmap(2, 2, [](int, int) { return 0; }), 2, 2);
    EXPECT_TRUE(clear.Clear());
    EXPECT_EQ((std::vector{clear.content_x0, clear.content_y0, clear.content_x1, clear.content_y1}),
              (std::vector{0, 0, 0, 0}));
}

// Hills: the left half holds content in its bottom 16 rows, the right half in its bottom 48,
// all of it opaque.
FrameContent Hills() {
    return MeasureContent(
        *AlphaPixmap(512, 64,
                     [](int32_t x, int32_t y) { return y >= (x < 256 ? 48 : 16) ? 255 : 0; }),
        512, 64);
}

TEST(QuadGeometry, ContentPiecesAreBandsCutToTheirRowsWithOpaqueCores) {
    const FrameContent hills = Hills();
    std::vector<SourcePiece> pieces;
    // Each band reads one column on either side, and one row more above and below; its core
    // stays a row inside the opaque rows of every column it reads.
    EXPECT_TRUE(ContentPieces(hills, 1, 0, 0, 512, 64, true, pieces));
    EXPECT_EQ(pieces, (std::vector<SourcePiece>{
                          {0, 128, 47, 49, false},
                          {0, 128, 49, 63, true},
                          {0, 128, 63, 64, false},
                          {128, 256, 15, 49, false},
                          {128, 256, 49, 63, true},
                          {128, 256, 63, 64, false},
                          {256, 384, 15, 49, false},
                          {256, 384, 49, 63, true},
                          {256, 384, 63, 64, false},
                          {384, 512, 15, 17, false},
                          {384, 512, 17, 63, true},
                          {384, 512, 63, 64, false},
                      }));
    // Without cores, one piece a band.
    EXPECT_TRUE(ContentPieces(hills, 1, 0, 0, 512, 64, false, pieces));
    EXPECT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0], (SourcePiece{0, 128, 47, 64, false}));
    // At two texels an image pixel, cuts fall on even texels only: the content widens out
    // to them and the core narrows in.
    EXPECT_TRUE(ContentPieces(hills, 2, 0, 0, 512, 64, true, pieces));
    EXPECT_EQ(std::vector(pieces.begin(), pieces.begin() + 3),
              (std::vector<SourcePiece>{
                  {0, 128, 46, 50, false}, {0, 128, 50, 62, true}, {0, 128, 62, 64, false}}));
    // A source rectangle inside the bottom rows saves nothing unless its cores are drawn
    // unblended.
    EXPECT_FALSE(ContentPieces(hills, 1, 0, 48, 512, 16, false, pieces));
    EXPECT_TRUE(ContentPieces(hills, 1, 0, 48, 512, 16, true, pieces));
}

TEST(QuadGeometry, EarlierQuadsAreCutToWhatLaterReplacingQuadsLeaveVisible) {
    const CutAxis one{1, 1};
    const PendingQuad earlier = Quad(0, 0, 64, 64, 0, 0, 0.5f, 0.5f);
    Coverage coverage;

    // A band across the middle: a piece above it and one below.
    coverage.Reset(256, 256);
    coverage.AddReplacing(Quad(0, 16, 64, 48, 0, 0, 1, 1), 1, 1);
    Cut cut = Uncover(earlier, coverage, one);
    EXPECT_EQ(cut.kind, Uncovered::kPieces);
    EXPECT_EQ(cut.pieces, (std::vector<QuadCorner>{{0, 0, 0, 0},
                                                   {0.5f, 0, 64, 0},
                                                   {0.5f, 0.125f, 64, 16},
                                                   {0, 0.125f, 0, 16},
                                                   {0, 0.375f, 0, 48},
                                                   {0.5f, 0.375f, 64, 48},
                                                   {0.5f, 0.5f, 64, 64},
                                                   {0, 0.5f, 0, 64}}));

    // The left half covered: the right half is left.
    coverage.Reset(256, 256);
    coverage.AddReplacing(Quad(0, 0, 32, 64, 0, 0, 1, 1), 1, 1);
    cut = Uncover(earlier, coverage, one);
    EXPECT_EQ(cut.kind, Uncovered::kPieces);
    EXPECT_EQ(
        cut.pieces,
        (std::vector<QuadCorner>{
            {0.25f, 0, 32, 0}, {0.5f, 0, 64, 0}, {0.5f, 0.5f, 64, 64}, {0.25f, 0.5f, 32, 64}}));

    // Covered everywhere: nothing is left to draw.
    coverage.Reset(256, 256);
    coverage.AddReplacing(Quad(-8, -8, 72, 72, 0, 0, 1, 1), 1, 1);
    cut = Uncover(earlier, coverage, one);
    EXPECT_EQ(cut.kind, Uncovered::kPieces);
    EXPECT_TRUE(cut.pieces.empty());

    // Nothing covered: the quad is drawn whole.
    coverage.Reset(256, 256);
    coverage.AddReplacing(Quad(100, 100, 120, 120, 0, 0, 1, 1), 1, 1);
    EXPECT_EQ(Uncover(earlier, coverage, one).kind, Uncovered::kWhole);
}

TEST(QuadGeometry, EdgesWithinASixtyFourthOfAPixelAreNeitherCoveredNorCut) {
    // Pixel 10's centre lies 1/128 inside the first quad's right edge: the rasteriser may
    // leave it out, so it does not count as covered; 1/32 inside, it does.
    Coverage coverage;
    coverage.Reset(64, 64);
    coverage.AddReplacing(Quad(0, 0, 10.5f + 1.0f / 128, 8, 0, 0, 1, 1), 1, 1);
    EXPECT_EQ(std::pair(coverage.Top(9), coverage.Bottom(9)), std::pair(0, 8));
    EXPECT_GE(coverage.Top(10), coverage.Bottom(10));
    coverage.AddReplacing(Quad(0, 0, 10.5f + 1.0f / 32, 8, 0, 0, 1, 1), 1, 1);
    EXPECT_EQ(std::pair(coverage.Top(10), coverage.Bottom(10)), std::pair(0, 8));

    // A quad with a corner between the rasteriser's sixty-fourths is drawn whole, covered
    // or not; on them it is cut (here to nothing).
    coverage.Reset(64, 64);
    coverage.AddReplacing(Quad(0, 0, 64, 64, 0, 0, 1, 1), 1, 1);
    EXPECT_EQ(Uncover(Quad(1.0f / 128, 0, 32, 32, 0, 0, 1, 1), coverage, {1, 1}).kind,
              Uncovered::kWhole);
    const Cut on_grid = Uncover(Quad(1.0f / 64, 0, 32, 32, 0, 0, 1, 1), coverage, {1, 1});
    EXPECT_EQ(on_grid.kind, Uncovered::kPieces);
    EXPECT_TRUE(on_grid.pieces.empty());
}

TEST(QuadGeometry, AtScaleThreeCutsFallOnEveryThirdPixelRoundedInwards) {
    // 64 drawing units shown on 192 pixels. The later quad covers pixel rows 5 to 48; cut
    // on the three-pixel grid, the earlier one keeps rows 0-6 and 48-60 (units 0-2 and
    // 16-20), drawing a pixel row of the covered ones on each side again.
    const CutAxis three{3, 3};
    Coverage coverage;
    coverage.Reset(192, 192);
    coverage.AddReplacing(Quad(0, 1.5f, 20, 16.5f, 0, 0, 1, 1), 3, 3);
    EXPECT_EQ(std::pair(coverage.Top(0), coverage.Bottom(0)), std::pair(5, 49));
    const Cut cut = Uncover(Quad(0, 0, 20, 20, 0, 0, 0.625f, 0.625f), coverage, three);
    EXPECT_EQ(cut.kind, Uncovered::kPieces);
    EXPECT_EQ(cut.pieces, (std::vector<QuadCorner>{{0, 0, 0, 0},
                                                   {0.625f, 0, 20, 0},
                                                   {0.625f, 0.0625f, 20, 2},
                                                   {0, 0.0625f, 0, 2},
                                                   {0, 0.5f, 0, 16},
                                                   {0.625f, 0.5f, 20, 16},
                                                   {0.625f, 0.625f, 20, 20},
                                                   {0, 0.625f, 0, 20}}));
    // Where a texture coordinate at a cut is no float, the quad is drawn whole.
    EXPECT_EQ(Uncover(Quad(0, 0, 20, 20, 0, 0, 1, 1), coverage, three).kind, Uncovered::kWhole);
}

}  // namespace
}  // namespace vexel
