// The BMP, JPEG and TGA loaders, and the order of the whole chain. Each fixture is compared
// pixel by pixel with the same picture decoded another way: from the formulas of
// data/picture.py, or from a PNG of the same picture (for JPEG, ImageMagick's own decoding).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image_test_support.h"
#include "pixmap/bmp_loader.h"
#include "pixmap/jpeg_loader.h"
#include "pixmap/png_loader.h"
#include "pixmap/tga_loader.h"
#include "stream/file_system.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"
#include "support/small_file_system.h"

namespace vexel {
namespace {

using testing::DataPath;
using testing::kPictureHeight;
using testing::kPictureWidth;
using testing::Noise;
using testing::PictureBit;
using testing::PicturePixel;
using testing::PixelOf;
using testing::Rgba;

std::shared_ptr<TMemoryStream> FixtureStream(const std::string& name) {
    return TMemoryStream::Create(
        testing::ReadFileBytes(testing::SourcePath("tests/pixmap/data/" + name)));
}

PixmapPtr Decode(TPixmapLoader& loader, const std::string& name) {
    auto stream = FixtureStream(name);
    return loader.LoadPixmap(*stream);
}

template <typename Expected>
void ExpectPicture(const PixmapPtr& pixmap, int32_t format, Expected expected,
                   const std::string& name) {
    ASSERT_NE(pixmap, nullptr) << name;
    EXPECT_EQ(pixmap->format, format) << name;
    ASSERT_EQ(pixmap->width, kPictureWidth) << name;
    ASSERT_EQ(pixmap->height, kPictureHeight) << name;
    for (int32_t y = 0; y < kPictureHeight; ++y) {
        for (int32_t x = 0; x < kPictureWidth; ++x) {
            ASSERT_EQ(PixelOf(*pixmap, x, y), expected(x, y)) << name << " at " << x << ", " << y;
        }
    }
}

Rgba Opaque(int32_t x, int32_t y) {
    const Rgba p = PicturePixel(x, y);
    return {p.r, p.g, p.b, 255};
}

Rgba Bits(int32_t x, int32_t y) {
    const uint8_t v = PictureBit(x, y);
    return {v, v, v, 255};
}

// The pixels of a PNG fixture, as the reference for another file of the same picture.
auto SameAsPng(const std::string& name) {
    PixmapPtr reference = LoadPNGPixmap(DataPath(name));
    EXPECT_NE(reference, nullptr) << name;
    return [reference](int32_t x, int32_t y) { return PixelOf(*reference, x, y); };
}

TEST(BMPLoader, EveryDepth) {
    TPixmapLoaderBMP bmp;
    ExpectPicture(Decode(bmp, "bits1.bmp"), PIXEL_BGR24, Bits, "bits1.bmp");
    ExpectPicture(Decode(bmp, "few4.bmp"), PIXEL_BGR24, SameAsPng("few.png"), "few4.bmp");
    ExpectPicture(Decode(bmp, "palette8.bmp"), PIXEL_BGR24, Opaque, "palette8.bmp");
    ExpectPicture(Decode(bmp, "rgb24.bmp"), PIXEL_BGR24, Opaque, "rgb24.bmp");
    ExpectPicture(Decode(bmp, "rgba32.bmp"), PIXEL_BGRA32, PicturePixel, "rgba32.bmp");
}

// The usual 32-bit BMP without alpha stores 0 in every fourth byte; it is opaque, not clear.
TEST(BMPLoader, ThirtyTwoBitsWithEveryFourthByteZeroAreOpaque) {
    TPixmapLoaderBMP bmp;
    ExpectPicture(Decode(bmp, "rgbx32.bmp"), PIXEL_BGRA32, Opaque, "rgbx32.bmp");
    // One pixel with a non-zero fourth byte makes every fourth byte alpha, zeros included.
    auto bytes = testing::ReadFileBytes(testing::SourcePath("tests/pixmap/data/rgbx32.bmp"));
    bytes[54 + 3] = 77;  // the first stored pixel: bottom-left
    auto stream = TMemoryStream::Create(bytes);
    PixmapPtr pixmap = bmp.LoadPixmap(*stream);
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(PixelOf(*pixmap, 0, kPictureHeight - 1).a, 77);
    EXPECT_EQ(PixelOf(*pixmap, 1, kPictureHeight - 1).a, 0);
    EXPECT_EQ(PixelOf(*pixmap, 3, 0).a, 0);
}

TEST(BMPLoader, TopDownRowsAreHandled) {
    TPixmapLoaderBMP bmp;
    ExpectPicture(Decode(bmp, "rgb24_top_down.bmp"), PIXEL_BGR24, Opaque, "rgb24_top_down.bmp");
}

TEST(BMPLoader, OtherKindsAreDeclined) {
    TPixmapLoaderBMP bmp;
    EXPECT_EQ(Decode(bmp, "rgba.png"), nullptr);
    EXPECT_EQ(Decode(bmp, "bitfields32.bmp"), nullptr);  // compression 3
}

TEST(TGALoader, RawAndRunLengthAtEveryDepth) {
    TPixmapLoaderTGA tga;
    for (const char* name : {"rgb24.tga", "rgb24_rle.tga"}) {
        ExpectPicture(Decode(tga, name), PIXEL_RGB24, Opaque, name);
    }
    for (const char* name : {"rgba32.tga", "rgba32_rle.tga"}) {
        ExpectPicture(Decode(tga, name), PIXEL_RGBA32, PicturePixel, name);
    }
    // Raw rows are converted where they lie in memory, and from a file through a buffer.
    for (const char* name : {"rgb24.tga", "rgba32.tga", "rgb15.tga", "cutout16.tga"}) {
        const StreamPtr file =
            OpenFileRead(FromUtf8(testing::SourcePath("tests/pixmap/data/") + name));
        ASSERT_NE(file, nullptr) << name;
        PixmapPtr from_file = tga.LoadPixmap(*file);
        PixmapPtr from_memory = Decode(tga, name);
        ASSERT_NE(from_file, nullptr) << name;
        EXPECT_EQ(from_file->format, from_memory->format) << name;
        for (int32_t y = 0; y < kPictureHeight; ++y) {
            EXPECT_EQ(0, std::memcmp(from_file->PixelPtr(0, y), from_memory->PixelPtr(0, y),
                                     from_file->width * PixelFormatBytes[from_file->format]))
                << name << " row " << y;
        }
    }
    ExpectPicture(Decode(tga, "bits24_rle.tga"), PIXEL_RGB24, Bits, "bits24_rle.tga");
    // Five bits a channel keep the top five bits of each.
    for (const char* name : {"rgb15.tga", "rgb15_rle.tga"}) {
        ExpectPicture(
            Decode(tga, name), PIXEL_RGB24,
            [](int32_t x, int32_t y) {
                const Rgba p = PicturePixel(x, y);
                return Rgba{uint8_t(p.r & 0xF8), uint8_t(p.g & 0xF8), uint8_t(p.b & 0xF8), 255};
            },
            name);
    }
    // At 16 bits the attribute bit marks the clear pixels.
    for (const char* name : {"cutout16.tga", "cutout16_rle.tga"}) {
        ExpectPicture(
            Decode(tga, name), PIXEL_RGBA32,
            [](int32_t x, int32_t y) {
                if ((x + y) % 4 == 0) return Rgba{0, 0, 0, 0};
                const Rgba p = PicturePixel(x, y);
                return Rgba{uint8_t(p.r & 0xF8), uint8_t(p.g & 0xF8), uint8_t(p.b & 0xF8), 255};
            },
            name);
    }
}

TEST(TGALoader, RunsRepeatAcrossTheRowAndRowsGoBottomUp) {
    const std::vector<uint8_t> file = {
        3,    0,   10,          // id length 3, no colour map, run-length true colour
        0,    0,   0,   0,  0,  // colour map fields
        0,    0,   0,   0,      // origin
        3,    0,   2,   0,      // width 3, height 2
        24,   0,                // 24 bits, no attribute bits
        'i',  'd', '!',         // image id, skipped
        0x82, 10,  20,  30,     // bottom row: blue 10, green 20, red 30 three times
        0x00, 1,   2,   3,      // top row: one literal pixel...
        0x81, 4,   5,   6,      // ...then a run of two
    };
    TPixmapLoaderTGA tga;
    auto stream = TMemoryStream::Create(file);
    PixmapPtr pixmap = tga.LoadPixmap(*stream);
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(PixelOf(*pixmap, 0, 0), (Rgba{3, 2, 1, 255}));
    EXPECT_EQ(PixelOf(*pixmap, 2, 0), (Rgba{6, 5, 4, 255}));
    for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(PixelOf(*pixmap, x, 1), (Rgba{30, 20, 10, 255}));
}

TEST(JPGLoader, ColourAndGreyMatchAnotherDecoder) {
    TPixmapLoaderJPG jpg;
    ExpectPicture(Decode(jpg, "colour.jpg"), PIXEL_RGB24, SameAsPng("colour_jpg.png"),
                  "colour.jpg");
    ExpectPicture(Decode(jpg, "grey.jpg"), PIXEL_GREY8, SameAsPng("grey_jpg.png"), "grey.jpg");
}

TEST(JPGLoader, DataEndingInsideTheScanStillDecodes) {
    // The source feeds an end-of-image marker; the rows it never got are filled in by libjpeg.
    auto bytes = testing::ReadFileBytes(testing::SourcePath("tests/pixmap/data/colour.jpg"));
    bytes.resize(bytes.size() - 60);
    auto stream = TMemoryStream::Create(bytes);
    TPixmapLoaderJPG jpg;
    PixmapPtr pixmap = jpg.LoadPixmap(*stream);
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(pixmap->width, kPictureWidth);
    EXPECT_EQ(pixmap->height, kPictureHeight);
}

TEST(JPGWriter, WritesAColourJpegThatLoadsBack) {
    testing::TempDir dir;
    PixmapPtr flat = NewPixmap(16, 16, PIXEL_BGRA32, 4);
    flat->ClearPixels(int32_t(0xFF4080C0));
    const String path = FromUtf8(dir / "flat.jpg");
    ASSERT_TRUE(SaveJPGPixmap(*flat, path, 95));
    const auto bytes = testing::ReadFileBytes(dir / "flat.jpg");
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    PixmapPtr loaded = LoadPixmapFrom(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->format, PIXEL_RGB24);
    EXPECT_EQ(loaded->width, 16);
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            const Rgba p = PixelOf(*loaded, x, y);
            EXPECT_NEAR(p.r, 0x40, 2);
            EXPECT_NEAR(p.g, 0x80, 2);
            EXPECT_NEAR(p.b, 0xC0, 2);
        }
    }
}

class FullStream : public TStream {
  public:
    int64_t Write(const void*, int64_t) override { return 0; }
};

TEST(JPGWriter, FailuresToOpenAndToWrite) {
    PixmapPtr picture = NewPixmap(8, 8, PIXEL_RGB24, 4);
    picture->ClearPixels(-1);
    EXPECT_FALSE(SaveJPGPixmap(*picture, u"/nonexistent/dir/x.jpg", 80));
    EXPECT_THROW(SaveJPGPixmap(*picture, std::make_shared<FullStream>(), 80),
                 TStreamWriteException);
}

// The PNG and JPEG savers on a full file system, given noise (which compresses to about its
// own size): a small image still sits in the stream's buffer when the encoder is done, so
// only the close meets the full disk (false); a large one meets it while being written (the
// stream's exception).
TEST(ImageSavers, AFullDiskIsAFailureAtTheCloseOrWhileWriting) {
    testing::SmallFileSystem fs;
    const String full = FromUtf8(testing::FullDiskPath(fs, "small"));
    EXPECT_FALSE(SavePNGPixmap(*Noise(8, 8, 1), full, 6));
    EXPECT_FALSE(SaveJPGPixmap(*Noise(8, 8, 2)->Convert(PIXEL_RGB24), full, 80));
    if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    ASSERT_TRUE(RemoveFile(FromUtf8(fs / "filler")));
    // A picture saved before: every failed save below must leave it byte for byte.
    const std::vector<uint8_t> old(3000, 0x5A);
    for (const char* name : {"large.png", "large.jpg"})
        testing::WriteFileBytes(fs / name, old);
    fs.Fill(8192);
    EXPECT_THROW(SavePNGPixmap(*Noise(64, 64, 3), FromUtf8(fs / "large.png"), 6),
                 TStreamWriteException);
    EXPECT_THROW(
        SaveJPGPixmap(*Noise(128, 128, 4)->Convert(PIXEL_RGB24), FromUtf8(fs / "large.jpg"), 100),
        TStreamWriteException);
    fs.MakeReadOnly();
    EXPECT_FALSE(SavePNGPixmap(*Noise(8, 8, 1), FromUtf8(fs / "large.png"), 6));
    EXPECT_FALSE(
        SaveJPGPixmap(*Noise(8, 8, 2)->Convert(PIXEL_RGB24), FromUtf8(fs / "large.jpg"), 80));
    for (const char* name : {"large.png", "large.jpg"})
        EXPECT_EQ(testing::ReadFileBytes(fs / name), old) << name;
    EXPECT_EQ(ListDirectoryNames(FromUtf8(fs / ""), true).size(), 3u);
}

TEST(ImageLoaderChain, FilesAreTriedAsPngBmpJpegTga) {
    std::vector<std::string> kinds;
    for (auto loader = PixmapLoaders(); loader; loader = loader->_succ) {
        if (std::dynamic_pointer_cast<TPixmapLoaderPNG>(loader)) kinds.push_back("PNG");
        if (std::dynamic_pointer_cast<TPixmapLoaderBMP>(loader)) kinds.push_back("BMP");
        if (std::dynamic_pointer_cast<TPixmapLoaderJPG>(loader)) kinds.push_back("JPG");
        if (std::dynamic_pointer_cast<TPixmapLoaderTGA>(loader)) kinds.push_back("TGA");
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"PNG", "BMP", "JPG", "TGA"}));
}

TEST(ImageLoaderChain, EachKindIsFoundThroughLoadPixmapFrom) {
    // "BM" fails the PNG signature and is then read by the BMP loader.
    ExpectPicture(LoadPixmapFrom(DataPath("rgb24.bmp")), PIXEL_BGR24, Opaque, "rgb24.bmp");
    ExpectPicture(LoadPixmapFrom(DataPath("rgba.png")), PIXEL_RGBA32, PicturePixel, "rgba.png");
    ExpectPicture(LoadPixmapFrom(DataPath("grey.jpg")), PIXEL_GREY8, SameAsPng("grey_jpg.png"),
                  "grey.jpg");
    ExpectPicture(LoadPixmapFrom(DataPath("rgba32_rle.tga")), PIXEL_RGBA32, PicturePixel,
                  "rgba32_rle.tga");
}

TEST(ImageLoaderChain, MalformedFilesAreNullForTheirLoaderAndTheChain) {
    const std::vector<std::pair<std::shared_ptr<TPixmapLoader>, std::vector<const char*>>> cases = {
        {std::make_shared<TPixmapLoaderBMP>(),
         {"bmp_cut_in_pixels.bmp", "bmp_cut_in_palette.bmp", "bmp_palette_too_big.bmp",
          "bmp_depth_16.bmp", "bmp_compressed.bmp", "bmp_width_negative.bmp", "bmp_height_zero.bmp",
          "bmp_larger_than_file.bmp", "bmp_header_size_12.bmp", "bmp_offset_inside_header.bmp"}},
        {std::make_shared<TPixmapLoaderTGA>(),
         {"tga_colour_mapped.tga", "tga_type1_without_map.tga", "tga_pixel_size_8.tga",
          "tga_width_zero.tga", "tga_too_wide.tga", "tga_cut_raw.tga", "tga_cut_rle.tga",
          "tga_run_crosses_row.tga", "tga_id_past_end.tga"}},
        {std::make_shared<TPixmapLoaderJPG>(),
         {"jpeg_cut_in_header.jpg", "jpeg_larger_than_file.jpg", "jpeg_too_wide.jpg",
          "jpeg_two_components.jpg", "jpeg_bad_signature.jpg"}},
    };
    for (const auto& [loader, names] : cases) {
        for (const char* name : names) {
            const std::string path = std::string("malformed/") + name;
            EXPECT_EQ(Decode(*loader, path), nullptr) << name;
            EXPECT_EQ(LoadPixmapFrom(DataPath(path)), nullptr) << name;
        }
    }
}

}  // namespace
}  // namespace vexel
