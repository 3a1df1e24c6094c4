#include "graphics/collision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap.h"

namespace vexel {
namespace {

// An RGBA image of one frame from rows of text: '#' opaque white, '.' transparent.
ImagePtr MaskImage(const std::vector<std::string>& rows, int32_t format = PIXEL_RGBA32) {
    const auto width = static_cast<int32_t>(rows[0].size());
    const auto height = static_cast<int32_t>(rows.size());
    auto rgba = NewPixmap(width, height, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            rgba->WritePixel(
                x, y,
                rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#' ? -1 : 0x00FFFFFF);
        }
    }
    auto pixmap = format == PIXEL_RGBA32 ? rgba : ReformatPixmap(*rgba, format);
    return TImage::Load(pixmap, 0, 0, 0, 0);
}

// A solid image: no alpha, not masked.
ImagePtr SolidImage(int32_t width, int32_t height) {
    auto pixmap = NewPixmap(width, height, PIXEL_RGB24, 4);
    pixmap->ClearPixels(-1);
    return TImage::Load(pixmap, 0, 0, 0, 0);
}

ObjectPtr Id(const char16_t* text) {
    return std::make_shared<StringObject>(text);
}

std::u16string Ids(const std::vector<ObjectPtr>& ids) {
    std::u16string text;
    for (const auto& id : ids)
        text += ObjectText(id);
    return text;
}

class Collision : public ::testing::Test {
  protected:
    void SetUp() override {
        TVex2DGraphics::ClearCurrent();
        SetDrawTransform(0, 1, 1);
        SetDrawOrigin(0, 0);
        ClearCollisionLayers(0);
    }
    void TearDown() override { SetDrawTransform(0, 1, 1); }
};

TEST_F(Collision, OverlappingBoxesWithoutACommonOpaquePixelDoNotCollide) {
    const auto left = MaskImage({"##..", "##..", "##..", "##.."});
    const auto right = MaskImage({"..##", "..##", "..##", "..##"});
    EXPECT_EQ(ImagesOverlap(*left, 0, 0, 0, *right, 0, 0, 0), 0);
    EXPECT_EQ(ImagesOverlap(*left, 0, 0, 0, *right, -1, 0, 0), 1);
}

TEST_F(Collision, OneCommonOpaqueColumnOnOneScanlineCollides) {
    const auto a = MaskImage({"....", "...#", "...."});
    const auto b = MaskImage({"....", "#...", "...."});
    EXPECT_EQ(ImagesOverlap(*a, 10, 10, 0, *b, 13, 10, 0), 1);
    EXPECT_EQ(ImagesOverlap(*a, 10, 10, 0, *b, 14, 10, 0), 0);
    EXPECT_EQ(ImagesOverlap(*a, 10, 10, 0, *b, 13, 11, 0), 0);
}

TEST_F(Collision, SolidImagesTouchingAlongAnEdgeDoNotCollide) {
    const auto a = SolidImage(10, 10);
    const auto b = SolidImage(10, 10);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 10, 0, 0), 0);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 0, 10, 0), 0);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 9, 9, 0), 1);
    // Handles move the quads: b's handle at its centre puts it at 5..15.
    SetImageHandle(*b, 5, 5);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 15, 5, 0), 0);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 14, 5, 0), 1);
    // The drawing origin moves both.
    SetDrawOrigin(100, 100);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 14, 5, 0), 1);
}

TEST_F(Collision, ImagesOverlapKeepsTheFirstQuadInLayer31AndRecyclesTheRest) {
    const auto a = SolidImage(10, 10);
    const auto b = SolidImage(10, 10);
    EXPECT_EQ(ImagesOverlap(*a, 0, 0, 0, *b, 50, 0, 0), 0);
    const int32_t pooled = CollisionPoolSize();
    EXPECT_EQ(ImagesOverlap(*a, 20, 0, 0, *b, 25, 0, 0), 1);
    // Only the first image's quad stays, where it was drawn; the old one went back to the
    // pool and the second image's quad came from it and returned.
    EXPECT_EQ(CollisionLayerSize(31), 1);
    EXPECT_EQ(CollisionPoolSize(), pooled);
    EXPECT_EQ(CollideRectangle(21, 1, 1, 1, static_cast<int32_t>(0x80000000u), 0, Id(u"q")).size(),
              1u);
    EXPECT_TRUE(
        CollideRectangle(1, 1, 1, 1, static_cast<int32_t>(0x80000000u), 0, nullptr).empty());
}

TEST_F(Collision, MirroredAndRotatedQuadsFollowTheDrawingMatrix) {
    // Opaque only in its left column; mirrored, that column lands left of the position.
    const auto edge = MaskImage({"#...", "#...", "#...", "#..."});
    const auto dot = SolidImage(1, 1);
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 10, 0, 0, 0, 1, 1, *dot, 10, 0, 0, 0, 1, 1), 1);
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 10, 0, 0, 0, -1, 1, *dot, 10, 0, 0, 0, 1, 1), 0);
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 10, 0, 0, 0, -1, 1, *dot, 9, 0, 0, 0, 1, 1), 1);
    // Turned by 90°, the left column becomes the top row: columns 6..9 of row 0.
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 10, 0, 0, 90, 1, 1, *dot, 7, 0, 0, 0, 1, 1), 1);
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 10, 0, 0, 90, 1, 1, *dot, 7, 1, 0, 0, 1, 1), 0);
    // Scaled by 2, the column is two pixels wide.
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 0, 0, 0, 0, 2, 2, *dot, 1, 7, 0, 0, 1, 1), 1);
    EXPECT_EQ(ImagesOverlapTransformed(*edge, 0, 0, 0, 0, 2, 2, *dot, 2, 7, 0, 0, 1, 1), 0);
    // The rotation and scale in force before are restored.
    SetDrawTransform(30, 2, 3);
    ImagesOverlapTransformed(*edge, 0, 0, 0, 90, 1, 1, *dot, 0, 0, 0, 0, 1, 1);
    float sx, sy;
    GetDrawScale(sx, sy);
    EXPECT_EQ(GetDrawRotation(), 30.0f);
    EXPECT_EQ(sx, 2.0f);
    EXPECT_EQ(sy, 3.0f);
}

TEST_F(Collision, LayersAnswerWithTheIdsOfTheirQuadsNewestFirst) {
    const auto block = SolidImage(10, 10);
    CollideImageFrame(*block, 0, 0, 0, 0, 0b0001, Id(u"a"));
    CollideImageFrame(*block, 5, 0, 0, 0, 0b0011, Id(u"b"));
    CollideImageFrame(*block, 100, 0, 0, 0, 0b0001, Id(u"far"));
    CollideRectangle(0, 0, 2, 2, 0, 0b0100, Id(u"r"));
    EXPECT_EQ(CollisionLayerSize(0), 3);
    EXPECT_EQ(CollisionLayerSize(1), 1);
    EXPECT_EQ(CollisionLayerSize(2), 1);
    // Layer 0 newest first, then layer 1; the far quad does not overlap.
    EXPECT_EQ(Ids(CollideRectangle(6, 0, 1, 1, 0b0011, 0, nullptr)), u"bab");
    EXPECT_EQ(Ids(CollideRectangle(1, 1, 1, 1, 0b0100, 0, nullptr)), u"r");
    EXPECT_TRUE(CollideRectangle(50, 50, 1, 1, -1, 0, nullptr).empty());
    // Clearing layer 0 only, then everything; the quads return to the pool.
    ClearCollisionLayers(0b0001);
    EXPECT_EQ(CollisionLayerSize(0), 0);
    EXPECT_EQ(CollisionLayerSize(1), 1);
    const int32_t pooled = CollisionPoolSize();
    ClearCollisionLayers(0);
    for (int layer = 0; layer < 32; ++layer)
        EXPECT_EQ(CollisionLayerSize(layer), 0);
    EXPECT_EQ(CollisionPoolSize(), pooled + 2);
    EXPECT_TRUE(CollideRectangle(6, 0, 1, 1, -1, 0, nullptr).empty());
}

TEST_F(Collision, OneByteAlphaMasksAreWidenedBeforeTheTest) {
    // In PIXEL_ALPHA8 only the last of eight pixels is opaque. Read as 32-bit words, column 1
    // would be bytes 4..7 and look opaque, and column 7 would lie past the row's end.
    const auto alpha = MaskImage({".......#"}, PIXEL_ALPHA8);
    ASSERT_EQ(alpha->pixmaps[0]->format, PIXEL_ALPHA8);
    const auto dot = SolidImage(1, 1);
    EXPECT_EQ(ImagesOverlap(*alpha, 0, 0, 0, *dot, 7, 0, 0), 1);
    EXPECT_EQ(ImagesOverlap(*alpha, 0, 0, 0, *dot, 1, 0, 0), 0);
    EXPECT_EQ(ImagesOverlap(*alpha, 0, 0, 0, *dot, 6, 0, 0), 0);
}

}  // namespace
}  // namespace vexel
