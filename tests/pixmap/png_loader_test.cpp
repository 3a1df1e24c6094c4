#include "pixmap/png_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image_test_support.h"
#include "stream/memory_stream.h"

namespace vexel {
namespace {

using testing::DataPath;
using testing::kPictureHeight;
using testing::kPictureWidth;
using testing::PictureBit;
using testing::PictureGrey;
using testing::PicturePixel;
using testing::PixelOf;
using testing::Rgba;

// Fixtures written by ImageMagick from data/picture.py; see data/make_fixtures.sh.
PixmapPtr LoadFixture(const std::string& name, int32_t format) {
    PixmapPtr pixmap = LoadPNGPixmap(DataPath(name));
    EXPECT_NE(pixmap, nullptr) << name;
    if (!pixmap) return nullptr;
    EXPECT_EQ(pixmap->format, format) << name;
    EXPECT_EQ(pixmap->width, kPictureWidth) << name;
    EXPECT_EQ(pixmap->height, kPictureHeight) << name;
    return pixmap;
}

template <typename Expected>
void ExpectPixels(const TPixmap& pixmap, Expected expected, const std::string& name) {
    for (int32_t y = 0; y < pixmap.height; ++y) {
        for (int32_t x = 0; x < pixmap.width; ++x) {
            ASSERT_EQ(PixelOf(pixmap, x, y), expected(x, y)) << name << " at " << x << ", " << y;
        }
    }
}

Rgba Opaque(int32_t x, int32_t y) {
    const Rgba p = PicturePixel(x, y);
    return {p.r, p.g, p.b, 255};
}

TEST(PNGLoader, TrueColourFilesKeepTheirLayout) {
    ExpectPixels(*LoadFixture("rgba.png", PIXEL_RGBA32), PicturePixel, "rgba.png");
    ExpectPixels(*LoadFixture("interlaced.png", PIXEL_RGB24), Opaque, "interlaced.png");
    // 16-bit samples keep their high byte.
    ExpectPixels(*LoadFixture("rgb16.png", PIXEL_RGB24), Opaque, "rgb16.png");
}

TEST(PNGLoader, PalettesExpandToRGBOrRGBAWithTransparency) {
    ExpectPixels(*LoadFixture("palette.png", PIXEL_RGB24), Opaque, "palette.png");
    PixmapPtr cutout = LoadFixture("palette_alpha.png", PIXEL_RGBA32);
    for (int32_t y = 0; y < kPictureHeight; ++y) {
        for (int32_t x = 0; x < kPictureWidth; ++x) {
            if ((x + y) % 4 == 0) {
                EXPECT_EQ(PixelOf(*cutout, x, y).a, 0) << x << ", " << y;
            } else {
                EXPECT_EQ(PixelOf(*cutout, x, y), Opaque(x, y)) << x << ", " << y;
            }
        }
    }
}

TEST(PNGLoader, GreyFiles) {
    ExpectPixels(
        *LoadFixture("grey.png", PIXEL_GREY8),
        [](int32_t x, int32_t y) {
            const uint8_t v = PictureGrey(x, y);
            return Rgba{v, v, v, 255};
        },
        "grey.png");
    ExpectPixels(
        *LoadFixture("grey1.png", PIXEL_GREY8),
        [](int32_t x, int32_t y) {
            const uint8_t v = PictureBit(x, y);
            return Rgba{v, v, v, 255};
        },
        "grey1.png");
    // The transparent grey value 85 is clear; everything else opaque.
    ExpectPixels(
        *LoadFixture("grey_transparent.png", PIXEL_RGBA32),
        [](int32_t x, int32_t y) {
            const uint8_t v = PictureGrey(x, y);
            return Rgba{v, v, v, uint8_t(v == 85 ? 0 : 255)};
        },
        "grey_transparent.png");
}

// Text, colour, layout, palette and private chunks, before and after the image data, change
// nothing in the pixels; see data/ancillary_chunks.py.
TEST(PNGLoader, AncillaryChunksLeaveThePixelsAsTheyAre) {
    ExpectPixels(*LoadFixture("ancillary_rgba.png", PIXEL_RGBA32), PicturePixel,
                 "ancillary_rgba.png");
    ExpectPixels(*LoadFixture("ancillary_interlaced.png", PIXEL_RGB24), Opaque,
                 "ancillary_interlaced.png");
    ExpectPixels(*LoadFixture("ancillary_palette.png", PIXEL_RGB24), Opaque,
                 "ancillary_palette.png");
}

// 44-byte files whose text or profile chunk announces about 2 GiB: the chunk is passed over
// and the data runs out inside it. (The fuzz corpus replay holds these files too, with
// allocations capped, so reserving the announced size would fail there.)
TEST(PNGLoader, AChunkAnnouncingMoreThanTheFileHoldsIsAShortRead) {
    for (const char* name :
         {"png_text_2gib.png", "png_ztxt_2gib.png", "png_itxt_2gib.png", "png_iccp_2gib.png"}) {
        const String path = DataPath(std::string("malformed/") + name);
        EXPECT_THROW(LoadPNGPixmap(path), TStreamReadException) << name;
        EXPECT_EQ(LoadPixmapFrom(path), nullptr) << name;
    }
}

TEST(PNGLoader, GreyWithAlphaSpreadsTheGrey) {
    PixmapPtr pixmap = LoadPNGPixmap(DataPath("grey_alpha.png"));
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(pixmap->format, PIXEL_RGBA32);
    EXPECT_EQ(PixelOf(*pixmap, 0, 0), (Rgba{200, 200, 200, 50}));
    EXPECT_EQ(PixelOf(*pixmap, 1, 0), (Rgba{10, 10, 10, 255}));
}

TEST(PNGLoader, LoadsFromACallersStreamWithoutClosingIt) {
    auto stream = TMemoryStream::Create(
        testing::ReadFileBytes(testing::SourcePath("tests/pixmap/data/rgba.png")));
    PixmapPtr pixmap = LoadPNGPixmap(stream);
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(stream->Seek(0), 0);  // still usable
    EXPECT_NE(LoadPNGPixmap(stream), nullptr);
}

TEST(PNGLoader, OtherDataIsDeclined) {
    EXPECT_EQ(LoadPNGPixmap(u"/nonexistent/file.png"), nullptr);
    auto bmp = TMemoryStream::Create({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(LoadPNGPixmap(bmp), nullptr);
    auto tiny = TMemoryStream::Create({0x89, 'P', 'N'});
    EXPECT_THROW(LoadPNGPixmap(tiny), TStreamReadException);
}

TEST(PNGLoader, ADataStreamCutShortRaisesTheStreamError) {
    const String path = DataPath("malformed/png_cut_after_header.png");
    EXPECT_THROW(LoadPNGPixmap(path), TStreamReadException);
    EXPECT_THROW(LoadPNGPixmap(DataPath("malformed/png_cut_in_idat.png")), TStreamReadException);
    EXPECT_EQ(LoadPixmapFrom(path), nullptr);  // after every loader has had its turn
}

TEST(PNGLoader, MalformedFilesAreNull) {
    for (const char* name :
         {"png_ihdr_crc.png", "png_width_zero.png", "png_too_wide.png", "png_huge_small_file.png",
          "png_idat_garbage.png", "png_idat_short.png"}) {
        EXPECT_EQ(LoadPNGPixmap(DataPath(std::string("malformed/") + name)), nullptr) << name;
        EXPECT_EQ(LoadPixmapFrom(DataPath(std::string("malformed/") + name)), nullptr) << name;
    }
}

// A 3x2 picture with distinct bytes in every channel, in `format`.
PixmapPtr Sample(int32_t format) {
    PixmapPtr rgba = NewPixmap(3, 2, PIXEL_RGBA32, 4);
    for (int32_t i = 0; i < 24; ++i)
        rgba->PixelPtr(0, i / 12)[i % 12] = uint8_t(i * 11 + 3);
    return rgba->Convert(format);
}

TEST(PNGSaver, BGRAIsWrittenInPNGOrder) {
    testing::TempDir dir;
    const String path = FromUtf8(dir / "bgra.png");
    PixmapPtr bgra = NewPixmap(2, 1, PIXEL_BGRA32, 4);
    bgra->WritePixel(0, 0, int32_t(0x80FF0010));  // alpha 0x80, red 0xFF, blue 0x10
    bgra->WritePixel(1, 0, int32_t(0xFF0000FF));
    ASSERT_TRUE(SavePNGPixmap(*bgra, path, 6));
    const auto bytes = testing::ReadFileBytes(dir / "bgra.png");
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[24], 8);  // bit depth
    EXPECT_EQ(bytes[25], 6);  // colour type: RGB with alpha
    PixmapPtr loaded = LoadPNGPixmap(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->format, PIXEL_RGBA32);
    EXPECT_EQ(uint32_t(loaded->ReadPixel(0, 0)), 0x80FF0010u);
    EXPECT_EQ(uint32_t(loaded->ReadPixel(1, 0)), 0xFF0000FFu);
}

TEST(PNGSaver, EveryFormatRoundTrips) {
    testing::TempDir dir;
    for (int32_t format = 1; format <= 12; ++format) {
        PixmapPtr original = Sample(format);
        const String path = FromUtf8(dir / "round.png");
        ASSERT_TRUE(SavePNGPixmap(*original, path, 9)) << PixelFormatName(format);
        PixmapPtr loaded = LoadPNGPixmap(path);
        ASSERT_NE(loaded, nullptr) << PixelFormatName(format);
        const int32_t expected = format == PIXEL_GREY8                            ? PIXEL_GREY8
                                 : format == PIXEL_RGB24 || format == PIXEL_BGR24 ? PIXEL_RGB24
                                                                                  : PIXEL_RGBA32;
        EXPECT_EQ(loaded->format, expected) << PixelFormatName(format);
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 3; ++x) {
                EXPECT_EQ(PixelOf(*loaded, x, y), PixelOf(*original, x, y))
                    << PixelFormatName(format) << " at " << x << ", " << y;
            }
        }
    }
}

TEST(PNGSaver, LevelIsClampedToZlibsRange) {
    testing::TempDir dir;
    PixmapPtr picture = NewPixmap(64, 64, PIXEL_RGB24, 4);
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = 0; x < 192; ++x)
            picture->PixelPtr(0, y)[x] = uint8_t((x / 7) ^ (y / 3));
    }
    auto saved = [&](int32_t level) {
        const std::string path = dir / ("level" + std::to_string(level) + ".png");
        EXPECT_TRUE(SavePNGPixmap(*picture, FromUtf8(path), level));
        return testing::ReadFileBytes(path);
    };
    EXPECT_EQ(saved(42), saved(9));
    EXPECT_EQ(saved(-3), saved(0));
    EXPECT_NE(saved(0), saved(9));
}

// A stream that takes a few bytes and then refuses more.
class FullStream : public TStream {
  public:
    int64_t Write(const void*, int64_t count) override {
        const int64_t n = std::min<int64_t>(count, room);
        room -= n;
        return n;
    }
    int64_t room = 20;
};

TEST(PNGSaver, FailuresToOpenAndToWrite) {
    EXPECT_FALSE(SavePNGPixmap(*Sample(PIXEL_RGB24), u"/nonexistent/dir/x.png", 6));
    EXPECT_THROW(SavePNGPixmap(*Sample(PIXEL_RGB24), std::make_shared<FullStream>(), 6),
                 TStreamWriteException);
    // libpng itself refuses an empty image.
    EXPECT_FALSE(
        SavePNGPixmap(*NewPixmap(0, 0, PIXEL_RGB24, 4), std::make_shared<FullStream>(), 6));
}

}  // namespace
}  // namespace vexel
