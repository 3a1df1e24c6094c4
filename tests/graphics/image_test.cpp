#include "graphics/image.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "graphics/for_testing.h"
#include "graphics/graphics.h"
#include "graphics/internal/detail_decoding.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap.h"
#include "pixmap/png_loader.h"
#include "support/test_support.h"

namespace vexel {
namespace {

class FakeWindow : public TGraphics {
  public:
    std::shared_ptr<TGraphicsDriver> Driver() override { return nullptr; }
    void GetSettings(int32_t& w, int32_t& h, int32_t& d, int32_t& hz, int32_t& f) override {
        w = 640;
        h = 480;
        d = hz = f = 0;
    }
    void Close() override {}
};

// A frame that records where it was asked to draw.
class RecordedFrame : public TImageFrame {
  public:
    explicit RecordedFrame(std::vector<std::vector<float>>* draws) : draws(draws) {}
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx, float sy,
              float sw, float sh) override {
        draws->push_back({x0, y0, x1, y1, tx, ty, sx, sy, sw, sh});
    }
    std::vector<std::vector<float>>* draws;
};

// Makes recording frames and counts them; remembers the transforms sent.
class FrameDriver : public TVex2DDriver {
  public:
    void SetGraphics(const GraphicsPtr& g) override {
        if (auto context = std::dynamic_pointer_cast<TVex2DGraphics>(g)) {
            context->MakeCurrent();
        } else {
            TVex2DGraphics::ClearCurrent();
        }
    }
    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                       int32_t flags) override {
        ++frames_made;
        last_pixmap = pixmap;
        last_flags = flags;
        return std::make_shared<RecordedFrame>(&draws);
    }
    void SetTransform(float ix, float iy, float jx, float jy) override {
        transforms.push_back({ix, iy, jx, jy});
    }

    int frames_made = 0;
    PixmapPtr last_pixmap;
    int32_t last_flags = -1;
    std::vector<std::vector<float>> draws;
    std::vector<std::vector<float>> transforms;
};

// A pixmap whose every pixel is (cell index, x % 256, y % 256) for cells of cw × ch.
PixmapPtr CellPicture(int32_t width, int32_t height, int32_t cw, int32_t ch, int32_t format) {
    auto pixmap = NewPixmap(width, height, format, 4);
    const int32_t across = width / cw;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t cell = (y / ch) * across + x / cw;
            pixmap->WritePixel(
                x, y, static_cast<int32_t>(0xFF000000u) | cell << 16 | (x % 256) << 8 | (y % 256));
        }
    }
    return pixmap;
}

class Images : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetImageSettingsForTesting();
        driver = std::make_shared<FrameDriver>();
        SelectGraphicsDriver(driver, 2);
        context = TVex2DGraphics::Create(std::make_shared<FakeWindow>(), driver);
        SelectGraphics(context);
    }
    void TearDown() override {
        SelectGraphics(nullptr);
        ResetImageSettingsForTesting();
    }

    std::shared_ptr<FrameDriver> driver;
    std::shared_ptr<TVex2DGraphics> context;
};

TEST_F(Images, StripsAreCutLeftToRightThenTopToBottom) {
    const auto picture = CellPicture(512, 128, 128, 64, PIXEL_RGBA32);
    const auto strip = LoadImageStrip(picture, 128, 64, 2, 4, 0);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->width, 128);
    EXPECT_EQ(strip->height, 64);
    ASSERT_EQ(strip->pixmaps.size(), 4u);
    // Cells at (256, 0), (384, 0), (0, 64), (128, 64).
    const int32_t expected_top_left[4][3] = {{2, 0, 0}, {3, 128, 0}, {4, 0, 64}, {5, 128, 64}};
    for (size_t i = 0; i < 4; ++i) {
        const uint32_t pixel = static_cast<uint32_t>(strip->pixmaps[i]->ReadPixel(0, 0));
        EXPECT_EQ((pixel >> 16) & 0xFF, static_cast<uint32_t>(expected_top_left[i][0]));
        EXPECT_EQ((pixel >> 8) & 0xFF, static_cast<uint32_t>(expected_top_left[i][1]));
        EXPECT_EQ(pixel & 0xFF, static_cast<uint32_t>(expected_top_left[i][2]));
        EXPECT_NE(strip->pixmaps[i], picture);  // a copy, not a window
    }
    // Eight cells in the picture: count 6 from cell 2 fits, 7 does not.
    EXPECT_NE(LoadImageStrip(picture, 128, 64, 2, 6, 0), nullptr);
    EXPECT_EQ(LoadImageStrip(picture, 128, 64, 2, 7, 0), nullptr);
    // Cells without area or before the first cell are refused rather than divided by.
    EXPECT_EQ(LoadImageStrip(picture, 0, 64, 0, 1, 0), nullptr);
    EXPECT_EQ(LoadImageStrip(picture, 128, 64, -1, 1, 0), nullptr);
}

// The high-resolution file of a strip, decoded by the worker, is cut like the ordinary one.
TEST_F(Images, DetailDecodedInTheBackgroundIsCutLikeTheStripAndHandedOver) {
    testing::TempDir folder;
    ASSERT_TRUE(SavePNGPixmap(*CellPicture(512, 128, 128, 64, PIXEL_RGBA32),
                              FromUtf8(folder / "Strip.png"), 1));
    ASSERT_TRUE(SavePNGPixmap(*CellPicture(1024, 256, 256, 128, PIXEL_RGBA32),
                              FromUtf8(folder / "Strip@2x.png"), 1));
    SelectGraphics(nullptr);  // no context: the scale set below decides the detail
    SetGraphicsScale(2);
    SetImageDetailInBackground(1);
    const auto strip = LoadImageStrip(FromUtf8(folder / "Strip.png"), 128, 64, 2, 4, 0);
    SetGraphicsScale(0);
    ASSERT_TRUE(strip && strip->detail && strip->detail->job);
    EXPECT_TRUE(strip->detail->pixmaps.empty()) << "nothing decoded while loading";
    StartQueuedDetailJobs();
    for (int tries = 0; tries < 500 && !strip->detail->job->Done(); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(strip->detail->job->Done());
    FinishImageDetail(*strip);
    EXPECT_EQ(strip->detail->job, nullptr);
    EXPECT_EQ(strip->detail->scale, 2);
    ASSERT_EQ(strip->detail->pixmaps.size(), 4u);
    for (int32_t i = 0; i < 4; ++i) {
        const auto& cell = strip->detail->pixmaps[static_cast<size_t>(i)];
        ASSERT_TRUE(cell && cell->width == 256 && cell->height == 128);
        EXPECT_EQ(static_cast<uint32_t>(cell->ReadPixel(0, 0)) >> 16 & 0xFF,
                  static_cast<uint32_t>(i + 2));
    }
}

// The pictures of images already drawn (the start view's) are decoded before the others,
// larger ones first within each group. One worker, so that the order shows in what is done.
TEST_F(Images, DetailOfImagesAlreadyDrawnIsDecodedFirst) {
    testing::TempDir folder;
    const int32_t widths[] = {64, 96, 128, 160};  // D is the largest, C the largest drawn
    std::vector<ImagePtr> images;
    SelectGraphics(nullptr);  // no context while loading: the scale set below decides
    SetGraphicsScale(2);
    SetImageDetailInBackground(1);
    for (int32_t i = 0; i < 4; ++i) {
        const std::string name(1, static_cast<char>('A' + i));
        ASSERT_TRUE(SavePNGPixmap(*CellPicture(widths[i], 32, widths[i], 32, PIXEL_RGBA32),
                                  FromUtf8(folder / (name + ".png")), 1));
        ASSERT_TRUE(SavePNGPixmap(*CellPicture(2 * widths[i], 64, 2 * widths[i], 64, PIXEL_RGBA32),
                                  FromUtf8(folder / (name + "@2x.png")), 1));
        images.push_back(LoadImageFrom(FromUtf8(folder / (name + ".png")), 0));
        ASSERT_TRUE(images.back() && images.back()->detail && images.back()->detail->job);
    }
    SetGraphicsScale(0);
    SelectGraphics(context);
    DrawImageFrame(*images[0], 0, 0, 0);
    DrawImageFrame(*images[2], 0, 0, 0);
    SetDetailWorkerLimit(1);
    StartQueuedDetailJobs();
    SetDetailWorkerLimit(0);
    // Whenever a job is seen done, every job before it in the order C, A, D, B is done.
    const size_t order[] = {2, 0, 3, 1};
    bool all_done = false;
    for (int tries = 0; tries < 5000 && !all_done; ++tries) {
        bool later_done = false;
        all_done = true;
        for (size_t k = 4; k-- > 0;) {
            const bool done = images[order[k]]->detail->job->Done();
            EXPECT_TRUE(done || !later_done) << "job " << k << " of the order before a later one";
            later_done |= done;
            all_done &= done;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(all_done);
}

// PNG's chunk checksum.
uint32_t Crc32(const std::vector<uint8_t>& bytes, size_t from) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void AppendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const auto big_endian = [&png](uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(static_cast<uint8_t>(value >> shift));
    };
    big_endian(static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    big_endian(Crc32(png, start));
}

// A 1 MiB PNG whose header announces 16384×16384 RGBA pixels (a gibibyte decoded): enough
// file for the decoder's own limit to let it through.
std::vector<uint8_t> PictureBomb() {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", {0, 0, 0x40, 0, 0, 0, 0x40, 0, 8, 6, 0, 0, 0});
    AppendChunk(png, "IDAT", {0x78, 0x9C});
    AppendChunk(png, "bomB", std::vector<uint8_t>(1 << 20));
    AppendChunk(png, "IEND", {});
    return png;
}

// A high-resolution file whose header announces another size is refused before it is
// decoded; the next one that fits is used, and one line says so.
TEST_F(Images, AHighResolutionFileOfTheWrongSizeIsRefusedFromItsHeader) {
    testing::TempDir folder;
    ASSERT_TRUE(
        SavePNGPixmap(*CellPicture(8, 8, 8, 8, PIXEL_RGBA32), FromUtf8(folder / "Pic.png"), 1));
    ASSERT_TRUE(SavePNGPixmap(*CellPicture(16, 16, 16, 16, PIXEL_RGBA32),
                              FromUtf8(folder / "Pic@2x.png"), 1));
    testing::WriteFileBytes(folder / "Pic@3x.png", PictureBomb());
    SelectGraphics(nullptr);
    SetGraphicsScale(3);
    const testing::LargestAllocation largest;
    ::testing::internal::CaptureStderr();
    // The loading thread's own CPU time: decoding the announced 16384×16384 would take
    // seconds of it, while a wall clock on a loaded machine also counts other programs' turns.
    const auto thread_cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    };
    const auto start = thread_cpu();
    const auto image = LoadImageFrom(FromUtf8(folder / "Pic.png"), 0);
    const auto took = thread_cpu() - start;
    const std::string said = ::testing::internal::GetCapturedStderr();
    SetGraphicsScale(0);
    ASSERT_NE(image, nullptr);
    EXPECT_LT(took, std::chrono::milliseconds(50));
    if (largest.Available()) {  // under the sanitizers, as the test command builds
        EXPECT_LT(largest.Bytes(), 1u << 22);
    }
    ASSERT_NE(image->detail, nullptr);
    EXPECT_EQ(image->detail->scale, 2);
    ASSERT_EQ(image->detail->pixmaps.size(), 1u);
    EXPECT_EQ(image->detail->pixmaps[0]->width, 16);
    const std::string folder_path = folder.path();
    EXPECT_EQ(said, "Vexel Application: " + folder_path +
                        "/Pic@3x.png is not a 24x24 picture (3 times " + folder_path +
                        "/Pic.png); " + folder_path + "/Pic@2x.png is drawn instead\n");
}

TEST_F(Images, PicturesWithoutAlphaAreKeyedAndPicturesWithAlphaAreNot) {
    auto rgb = NewPixmap(3, 1, PIXEL_RGB24, 4);
    rgb->WritePixel(0, 0, static_cast<int32_t>(0xFF000000u));  // black: the default key
    rgb->WritePixel(1, 0, static_cast<int32_t>(0xFF204060u));
    rgb->WritePixel(2, 0, static_cast<int32_t>(0xFF000000u));
    const auto keyed = LoadImageFrom(rgb, -1);  // auto flags 3: masked and filtered
    ASSERT_NE(keyed, nullptr);
    EXPECT_EQ(keyed->flags, 3);
    const auto& pixmap = *keyed->pixmaps[0];
    EXPECT_EQ(pixmap.format, PIXEL_RGBA32);
    EXPECT_EQ(static_cast<uint32_t>(pixmap.ReadPixel(0, 0)), 0x00204060u);
    EXPECT_EQ(static_cast<uint32_t>(pixmap.ReadPixel(1, 0)), 0xFF204060u);

    auto rgba = NewPixmap(1, 1, PIXEL_RGBA32, 4);
    rgba->WritePixel(0, 0, static_cast<int32_t>(0x80000000u));
    const auto untouched = LoadImageFrom(rgba, -1);
    EXPECT_EQ(untouched->pixmaps[0], rgba);

    // Another key colour; without the masked flag nothing is keyed.
    SetImageMaskColor(0x20, 0x40, 0x60);
    int32_t r, g, b;
    GetImageMaskColor(r, g, b);
    EXPECT_EQ((std::vector{r, g, b}), (std::vector{0x20, 0x40, 0x60}));
    EXPECT_EQ(static_cast<uint32_t>(LoadImageFrom(rgb, -1)->pixmaps[0]->ReadPixel(1, 0)) >> 24, 0u);
    EXPECT_EQ(LoadImageFrom(rgb, 2)->pixmaps[0], rgb);
}

TEST_F(Images, AutoFlagsAndAutoMidHandle) {
    SetAutoImageFlags(-1);
    auto pixmap = NewPixmap(64, 32, PIXEL_RGBA32, 4);
    EXPECT_EQ(LoadImageFrom(pixmap, -1)->flags, 3);
    SetAutoImageFlags(4);
    EXPECT_EQ(LoadImageFrom(pixmap, -1)->flags, 4);
    EXPECT_EQ(LoadImageFrom(pixmap, 1)->flags, 1);
    EXPECT_EQ(CreateBlankImage(8, 8, 2, -1)->flags, 4 | ImageFlagDynamic);

    EXPECT_EQ(LoadImageFrom(pixmap, -1)->handle_x, 0.0f);
    SetAutoMidHandle(1);
    const auto centred = LoadImageFrom(pixmap, -1);
    EXPECT_EQ(centred->handle_x, 32.0f);
    EXPECT_EQ(centred->handle_y, 16.0f);
    EXPECT_EQ(CreateBlankImage(9, 5, 1, 0)->handle_x, 4.5f);
    EXPECT_EQ(LoadImageFrom(u"/nonexistent/picture.png", -1), nullptr);
}

TEST_F(Images, DrawingPutsTheHandleOnThePositionPlusOrigin) {
    auto image = CreateBlankImage(64, 32, 1, 0);
    SetImageHandle(*image, 32, 16);
    SetDrawOrigin(5, 6);
    DrawImageFrame(*image, 100, 100, 0);
    DrawImageFrameRect(*image, 100, 100, 10, 20, 0);
    DrawImageSubRect(*image, 100, 100, 20, 10, 8, 4, 40, 20, 20, 10, 0);
    DrawImageSubRect(*image, 100, 100, 20, 10, 8, 4, 0, 20, 20, 10, 0);  // empty source
    DrawImageFrame(*image, 0, 0, 1);                                     // no frame 1
    const std::vector<std::vector<float>> expected = {
        {-32, -16, 32, 16, 105, 106, 0, 0, 64, 32},
        {-32, -16, -22, 4, 105, 106, 0, 0, 64, 32},
        {-10, -5, 10, 5, 105, 106, 8, 4, 40, 20},
    };
    EXPECT_EQ(driver->draws, expected);
    EXPECT_EQ(driver->frames_made, 1);
}

TEST_F(Images, FramesAreRemadeAfterAWriteLockANewPixmapOrANewGeneration) {
    auto image = CreateBlankImage(4, 4, 1, 6);
    DrawImageFrame(*image, 0, 0, 0);
    DrawImageFrame(*image, 0, 0, 0);
    EXPECT_EQ(driver->frames_made, 1);
    EXPECT_EQ(driver->last_flags, 6 | ImageFlagDynamic);
    EXPECT_EQ(driver->last_pixmap->format, PIXEL_RGBA32);

    LockImageFrame(*image, 0, 1, 0);
    DrawImageFrame(*image, 0, 0, 0);
    EXPECT_EQ(driver->frames_made, 1);
    LockImageFrame(*image, 0, 1, 1);
    DrawImageFrame(*image, 0, 0, 0);
    EXPECT_EQ(driver->frames_made, 2);

    image->SetPixmap(0, NewPixmap(4, 4, PIXEL_RGBA32, 4));
    DrawImageFrame(*image, 0, 0, 0);
    EXPECT_EQ(driver->frames_made, 3);

    // A new window (a new generation) makes every frame stale.
    SelectGraphicsDriver(driver, 2);
    context = TVex2DGraphics::Create(std::make_shared<FakeWindow>(), driver);
    SelectGraphics(context);
    DrawImageFrame(*image, 0, 0, 0);
    EXPECT_EQ(driver->frames_made, 4);
}

TEST_F(Images, TilesCoverTheViewportOnTheGridThroughThePosition) {
    auto image = CreateBlankImage(32, 16, 1, 0);
    SetDrawViewport(0, 0, 64, 16);
    SetDrawRotation(45);
    driver->transforms.clear();
    TileImageFrame(*image, -63, 0, 0);
    // x = -63: the first tile starts at -31 and covers column 0; then 1 and 33. y = 0 is on
    // the grid, so one row starting at 0 (the tile at -15 would start h - 1 = 15 before).
    std::vector<float> starts;
    for (const auto& draw : driver->draws) {
        EXPECT_EQ(draw[0], 0.0f);
        EXPECT_EQ(draw[2], 32.0f);
        EXPECT_EQ(draw[5], 0.0f);
        starts.push_back(draw[4]);
    }
    EXPECT_EQ(starts, (std::vector<float>{-31, 1, 33}));
    // Tiles are drawn unrotated; the rotation is sent again afterwards.
    ASSERT_EQ(driver->transforms.size(), 2u);
    EXPECT_EQ(driver->transforms[0], (std::vector<float>{1, 0, 0, 1}));
    EXPECT_NEAR(driver->transforms[1][0], 0.7071f, 1e-4f);

    // Sub-pixel positions carry their fraction into every tile; a handle shifts the grid.
    driver->draws.clear();
    SetDrawViewport(0, 0, 32, 16);
    SetImageHandle(*image, 10, 0);
    TileImageFrame(*image, 0.25f, 0, 0);
    starts.clear();
    for (const auto& draw : driver->draws)
        starts.push_back(draw[4]);
    EXPECT_EQ(starts, (std::vector<float>{-9.75f, 22.25f}));
}

}  // namespace
}  // namespace vexel
