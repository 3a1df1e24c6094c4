// The generated pictures, loaded the way the game loads them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "data_files.h"
#include "graphics/image.h"
#include "pixmap/internal/png_decoding.h"
#include "pixmap/png_loader.h"
#include "stream/memory_stream.h"
#include "stream/stream_exception.h"
#include "stream/stream_factory.h"
#include "stream/whole_file.h"
#include "support/test_support.h"

namespace morvelle_assets {
namespace {

using vexel::ImagePtr;
using vexel::LoadImageFrom;
using vexel::LoadImageStrip;

struct Picture {
    const char* file;
    int32_t width, height;  // of one frame
    int32_t frames;         // 0: loaded whole as one frame
};

// Every picture of Data/gfx with the cell geometry the game asks for.
constexpr Picture kPictures[] = {
    {"Title.png", 640, 112, 0},  {"MenuButtons.png", 256, 64, 10}, {"SndButton.png", 64, 64, 2},
    {"SndMuted.png", 64, 64, 0}, {"Sky.png", 1024, 512, 0},        {"Terrain.png", 1536, 512, 3},
    {"cur.png", 32, 32, 0},      {"vexel.png", 144, 48, 0},        {"Cross.png", 64, 64, 4},
    {"Pilz.png", 64, 64, 0},     {"Kirsch.png", 64, 64, 0},        {"Apfel.png", 64, 64, 0},
    {"Rübe.png", 64, 64, 0},     {"Huhn.png", 64, 64, 0},          {"Cherry.png", 32, 32, 0},
};

ImagePtr Load(const Picture& p) {
    const vexel::String path = DataPath(std::string("gfx/") + p.file);
    return p.frames == 0 ? LoadImageFrom(path, -1)
                         : LoadImageStrip(path, p.width, p.height, 0, p.frames, -1);
}

ImagePtr Load(const char* file) {
    for (const Picture& p : kPictures)
        if (std::string(p.file) == file) return Load(p);
    return nullptr;
}

double Luminance(const Rgba& c) {
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

// Mean luminance of the pixels of a frame that are at least half opaque.
double MeanLuminance(const vexel::TImage& image, int32_t frame) {
    double sum = 0;
    int64_t count = 0;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const Rgba c = PixelAt(image, frame, x, y);
            if (c.a < 128) continue;
            sum += Luminance(c);
            ++count;
        }
    }
    return count ? sum / count : 0;
}

double OpaqueShare(const vexel::TImage& image, int32_t frame) {
    int64_t count = 0;
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            count += PixelAt(image, frame, x, y).a >= 128 ? 1 : 0;
    return static_cast<double>(count) / (image.width * image.height);
}

TEST(Pictures, EachLoadsWithTheCellsTheGameCutsFromIt) {
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(p.file);
        const ImagePtr image = Load(p);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, p.width);
        EXPECT_EQ(image->height, p.height);
        EXPECT_EQ(image->pixmaps.size(), static_cast<size_t>(p.frames == 0 ? 1 : p.frames));
        if (p.frames > 0) {
            // Exactly as many cells as the game uses: no stray row or column of cells.
            const vexel::String path = DataPath(std::string("gfx/") + p.file);
            EXPECT_EQ(LoadImageStrip(path, p.width, p.height, 0, p.frames + 1, -1), nullptr);
            const vexel::PixmapPtr whole = vexel::ImageSource(path).Pixmap();
            ASSERT_NE(whole, nullptr);
            EXPECT_EQ(whole->width % p.width, 0);
            EXPECT_EQ(whole->height % p.height, 0);
        }
    }
}

TEST(Pictures, PointerTipIsTheTopLeftPixel) {
    const ImagePtr cursor = Load("cur.png");
    ASSERT_NE(cursor, nullptr);
    EXPECT_GE(PixelAt(*cursor, 0, 0, 0).a, 128);
    // The arrow points up and left: nothing to the right of the tip on the top row, nor
    // in the bottom-right corner.
    EXPECT_EQ(PixelAt(*cursor, 0, 8, 0).a, 0);
    EXPECT_EQ(PixelAt(*cursor, 0, 31, 31).a, 0);
}

TEST(Pictures, CrosshairMarksItsCentre) {
    // The crosshair is drawn centred on the pointer, where the shot lands: the frame used in
    // play has a red dot there and a clear ring around it, so the target shows through.
    const ImagePtr cross = Load("Cross.png");
    ASSERT_NE(cross, nullptr);
    const Rgba centre = PixelAt(*cross, 2, 32, 32);
    EXPECT_EQ(centre.a, 255);
    EXPECT_GT(centre.r, 180);
    EXPECT_LT(centre.g, 80);
    for (const int32_t d : {8, -8}) {
        EXPECT_EQ(PixelAt(*cross, 2, 32 + d, 32 + d).a, 0) << d;
        EXPECT_EQ(PixelAt(*cross, 2, 32 + d, 32 - d).a, 0) << d;
    }
}

TEST(Pictures, TargetsAndIconsAreCutOutShapes) {
    struct Shape {
        const char* file;
        int32_t frame;
    };
    for (const Shape s :
         {Shape{"Pilz.png", 0}, Shape{"Kirsch.png", 0}, Shape{"Apfel.png", 0}, Shape{"Rübe.png", 0},
          Shape{"Huhn.png", 0}, Shape{"Cherry.png", 0}, Shape{"Cross.png", 0},
          Shape{"Cross.png", 1}, Shape{"Cross.png", 2}, Shape{"Cross.png", 3}}) {
        SCOPED_TRACE(std::string(s.file) + " frame " + std::to_string(s.frame));
        const ImagePtr image = Load(s.file);
        ASSERT_NE(image, nullptr);
        const int32_t w = image->width, h = image->height;
        // Clear corners, so that a shot beside the shape but inside its square finds nothing.
        EXPECT_EQ(PixelAt(*image, s.frame, 0, 0).a, 0);
        EXPECT_EQ(PixelAt(*image, s.frame, w - 1, 0).a, 0);
        EXPECT_EQ(PixelAt(*image, s.frame, 0, h - 1).a, 0);
        EXPECT_EQ(PixelAt(*image, s.frame, w - 1, h - 1).a, 0);
        const double share = OpaqueShare(*image, s.frame);
        EXPECT_GT(share, 0.08);
        EXPECT_LT(share, 0.85);
    }
    // The targets fill most of their square, so their footprint is mostly the food itself.
    for (const char* food : {"Pilz.png", "Kirsch.png", "Apfel.png", "Rübe.png", "Huhn.png"}) {
        const ImagePtr image = Load(food);
        ASSERT_NE(image, nullptr);
        EXPECT_GT(OpaqueShare(*image, 0), 0.35) << food;
    }
}

TEST(Pictures, ChickenFacesRightAndFlutters) {
    // The game mirrors the chicken to walk left, so the picture must look right: its yellow
    // beak is in the upper right.
    const ImagePtr chicken = Load("Huhn.png");
    ASSERT_NE(chicken, nullptr);
    double sum_x = 0;
    int32_t count = 0;
    for (int32_t y = 0; y < 32; ++y) {
        for (int32_t x = 0; x < 64; ++x) {
            const Rgba c = PixelAt(*chicken, 0, x, y);
            if (c.a >= 128 && c.r > 200 && c.g > 130 && c.b < 90) {
                sum_x += x;
                ++count;
            }
        }
    }
    ASSERT_GT(count, 6);
    EXPECT_GT(sum_x / count, 52.0);
    // Chickens also cross the sky, so the hen flutters: her wings are raised above her back
    // (behind the head, in the top rows) and her feet are tucked up instead of standing on
    // the bottom rows. A standing hen has only her tail up there and her legs down here.
    int32_t wings = 0, feet = 0;
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 42; ++x)
            wings += PixelAt(*chicken, 0, x, y).a >= 128;
    for (int32_t y = 58; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            feet += PixelAt(*chicken, 0, x, y).a >= 128;
    EXPECT_GT(wings, 400);
    EXPECT_LT(feet, 30);
}

TEST(Pictures, MagazineCherryIsTellableFromTheCherryTargets) {
    // The magazine's rounds sit at the bottom of the play screen beside the cherries to shoot:
    // a round is a polished cherry with a white glint and no leaf, a target a pair with a leaf.
    const ImagePtr round = Load("Cherry.png");
    const ImagePtr target = Load("Kirsch.png");
    ASSERT_NE(round, nullptr);
    ASSERT_NE(target, nullptr);
    const auto count = [](const vexel::TImage& image, auto&& is) {
        int32_t n = 0;
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) {
                const Rgba c = PixelAt(image, 0, x, y);
                n += c.a >= 128 && is(c);
            }
        return n;
    };
    const auto leaf = [](const Rgba& c) { return c.g > c.r + 30 && c.g > c.b + 30; };
    const auto glint = [](const Rgba& c) { return std::min({c.r, c.g, c.b}) >= 235; };
    EXPECT_EQ(count(*round, leaf), 0);
    EXPECT_GT(count(*target, leaf), 100);
    EXPECT_GE(count(*round, glint), 12);
    EXPECT_EQ(count(*target, glint), 0);
}

TEST(Pictures, ButtonsLightUpUnderThePointer) {
    const ImagePtr menu = Load("MenuButtons.png");
    const ImagePtr sound = Load("SndButton.png");
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(sound, nullptr);
    for (int32_t rest = 0; rest < 10; rest += 2) {
        SCOPED_TRACE("menu button frame " + std::to_string(rest));
        const double at_rest = MeanLuminance(*menu, rest);
        const double lit = MeanLuminance(*menu, rest + 1);
        // Same lettering, clearly different plate: the lit frame is warmer and brighter
        // in its colour, not merely shifted.
        EXPECT_GT(at_rest, 120.0);
        EXPECT_GT(OpaqueShare(*menu, rest), 0.5);
        EXPECT_GT(OpaqueShare(*menu, rest + 1), OpaqueShare(*menu, rest));
        int64_t different = 0;
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 256; ++x) {
                const Rgba a = PixelAt(*menu, rest, x, y), b = PixelAt(*menu, rest + 1, x, y);
                different += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 60;
            }
        EXPECT_GT(different, 256 * 64 / 3);
        EXPECT_NE(at_rest, lit);
    }
    EXPECT_GT(OpaqueShare(*sound, 1), OpaqueShare(*sound, 0));
}

TEST(Pictures, SkyIsOpaqueAndTilesWithoutASeam) {
    const ImagePtr sky = Load("Sky.png");
    ASSERT_NE(sky, nullptr);
    for (int32_t y = 0; y < sky->height; ++y) {
        for (int32_t x = 0; x < sky->width; ++x)
            ASSERT_EQ(PixelAt(*sky, 0, x, y).a, 255) << x << "," << y;
        // The last column runs into the first of the next tile.
        const Rgba last = PixelAt(*sky, 0, sky->width - 1, y), first = PixelAt(*sky, 0, 0, y);
        EXPECT_LE(
            std::abs(last.r - first.r) + std::abs(last.g - first.g) + std::abs(last.b - first.b), 6)
            << "row " << y;
    }
}

TEST(Pictures, TitleLetteringIsCentredOnItsPicture) {
    // The game centres the picture at the top of the screen; the lettering must be centred
    // in it, leaving only its soft shadow near the edges.
    const ImagePtr title = Load("Title.png");
    ASSERT_NE(title, nullptr);
    int32_t left = title->width, right = -1;
    for (int32_t y = 0; y < title->height; ++y)
        for (int32_t x = 0; x < title->width; ++x)
            if (PixelAt(*title, 0, x, y).a >= 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2.0, title->width / 2.0, 12.0);
    EXPECT_GT(right - left, title->width * 3 / 4);
    // Centred at y 51 on the screen, its top five rows lie above the window: nothing of the
    // lettering may be cut off there.
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < title->width; ++x)
            EXPECT_LT(PixelAt(*title, 0, x, y).a, 16) << x << ", " << y;
}

TEST(Pictures, TitleLetteringClearsThePlayButton) {
    // The title is centred at (512, 51.2) and the play button at (512, 128), at rest and lit:
    // in every column they share, a clear gap of at least 8 pixels lies between the lettering
    // and the button's plate, and the lettering's soft shadow and the lit plate's glow do not
    // meet either.
    const ImagePtr title = Load("Title.png");
    const ImagePtr buttons = Load("MenuButtons.png");
    ASSERT_NE(title, nullptr);
    ASSERT_NE(buttons, nullptr);
    const float title_top = 51.2f - static_cast<float>(title->height) / 2;
    const int32_t title_left = 512 - title->width / 2, button_left = 512 - buttons->width / 2;
    const int32_t button_top = 128 - buttons->height / 2;
    for (const auto& [opaque, least_gap] : {std::pair{128, 8.0f}, std::pair{32, 2.0f}}) {
        for (int32_t frame = 0; frame < 2; ++frame) {
            float gap = 1000;
            for (int32_t x = std::max(title_left, button_left);
                 x < std::min(title_left + title->width, button_left + buttons->width); ++x) {
                int32_t lowest = -1, highest = buttons->height;
                for (int32_t y = 0; y < title->height; ++y)
                    if (PixelAt(*title, 0, x - title_left, y).a >= opaque) lowest = y;
                for (int32_t y = buttons->height - 1; y >= 0; --y)
                    if (PixelAt(*buttons, frame, x - button_left, y).a >= opaque) highest = y;
                if (lowest < 0 || highest == buttons->height) continue;
                gap = std::min(gap, static_cast<float>(button_top + highest) -
                                        (title_top + static_cast<float>(lowest)) - 1);
            }
            EXPECT_GE(gap, least_gap) << "alpha " << opaque << ", button frame " << frame;
        }
    }
}

// The PNG loader against libpng alone, which it used for every file before it decoded the
// common kind itself: the same pixels, or null from both.
vexel::PixmapPtr Guarded(const std::function<vexel::PixmapPtr()>& decode) {
    try {
        return decode();
    } catch (const vexel::TStreamException&) {
        return nullptr;
    }
}

void ExpectSame(const vexel::PixmapPtr& ours, const vexel::PixmapPtr& libpng,
                const std::string& name) {
    ASSERT_EQ(ours == nullptr, libpng == nullptr) << name;
    if (!ours) return;
    ASSERT_EQ(ours->format, libpng->format) << name;
    ASSERT_EQ(ours->width, libpng->width) << name;
    ASSERT_EQ(ours->height, libpng->height) << name;
    const size_t row = static_cast<size_t>(ours->width * vexel::PixelFormatBytes[ours->format]);
    for (int32_t y = 0; y < ours->height; ++y) {
        ASSERT_EQ(std::memcmp(ours->PixelPtr(0, y), libpng->PixelPtr(0, y), row), 0)
            << name << " row " << y;
    }
}

// Decodes `file` from memory both ways; returns libpng's picture.
vexel::PixmapPtr ExpectSamePixels(const std::vector<uint8_t>& file, const std::string& name) {
    auto stream = [&] { return vexel::TMemoryStream::CreateBorrowed(file, nullptr); };
    const vexel::PixmapPtr ours =
        Guarded([&] { return vexel::TPixmapLoaderPNG().LoadPixmap(*stream()); });
    vexel::PixmapPtr libpng = Guarded([&] { return vexel::DecodePngThroughLibpng(*stream()); });
    ExpectSame(ours, libpng, name);
    return libpng;
}

TEST(Pictures, EveryPngDecodesAsLibpngDecodesIt) {
    namespace fs = std::filesystem;
    // Every generated picture, all of the kind the loader decodes itself, read from the file
    // as the game reads it and from memory.
    int32_t generated = 0;
    for (const auto& entry : fs::directory_iterator(MORVELLE_DATA_DIR "/gfx")) {
        if (entry.path().extension() != ".png") continue;
        const std::vector<uint8_t> file =
            vexel::LoadBytesFrom(vexel::FromUtf8(entry.path().string()));
        size_t used = 0;
        EXPECT_NE(vexel::DecodePngQuickly(std::span(file).subspan(8), used), nullptr)
            << entry.path();
        EXPECT_EQ(used, file.size() - 8) << entry.path();
        const vexel::PixmapPtr libpng = ExpectSamePixels(file, entry.path().string());
        // From the file, which is read whole first (the smaller files only, for time).
        if (file.size() < 512 * 1024) {
            ExpectSame(vexel::LoadPNGPixmap(vexel::FromUtf8(entry.path().string())), libpng,
                       entry.path().string() + " from the file");
        }
        ++generated;
    }
    EXPECT_GE(generated, 40);

    // Every PNG the sources hold: fixtures, fuzz corpora (most of them broken), pictures of
    // the documentation.
    int32_t held = 0;
    const fs::path source(VEXEL_SOURCE_DIR);
    for (auto it = fs::recursive_directory_iterator(source); it != fs::end(it); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name == "build" || name.starts_with("."))) {
            it.disable_recursion_pending();
        } else if (it->path().extension() == ".png") {
            ExpectSamePixels(vexel::LoadBytesFrom(vexel::FromUtf8(it->path().string())),
                             it->path().string());
            ++held;
        }
    }
    EXPECT_GE(held, 50);

    // Made pictures of every kind and of widths that leave every loop a remainder, with the
    // filters libpng's writer picks row by row.
    uint32_t state = 7;
    for (const int32_t format : {vexel::PIXEL_GREY8, vexel::PIXEL_RGB24, vexel::PIXEL_RGBA32}) {
        for (const auto& [width, height] : {std::pair{1, 1}, {3, 2}, {17, 9}, {130, 33}}) {
            vexel::PixmapPtr picture = vexel::NewPixmap(width, height, format, 4);
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width * vexel::PixelFormatBytes[format]; ++x) {
                    state = state * 1664525u + 1013904223u;
                    picture->PixelPtr(0, y)[x] =
                        static_cast<uint8_t>(x * 3 + y * 5 + ((state >> 28) & 7));
                }
            }
            const fs::path path = fs::path(::testing::TempDir()) / "vexel-png-paths.png";
            ASSERT_TRUE(vexel::SavePNGPixmap(*picture, vexel::FromUtf8(path.string()), 6));
            const std::vector<uint8_t> file = vexel::LoadBytesFrom(vexel::FromUtf8(path.string()));
            size_t used = 0;
            const vexel::PixmapPtr quick =
                vexel::DecodePngQuickly(std::span(file).subspan(8), used);
            ASSERT_NE(quick, nullptr) << width << "x" << height;
            for (int32_t y = 0; y < height; ++y) {
                ASSERT_EQ(std::memcmp(quick->PixelPtr(0, y), picture->PixelPtr(0, y),
                                      width * vexel::PixelFormatBytes[format]),
                          0);
            }
            ExpectSamePixels(file, path.string());
            fs::remove(path);
        }
    }
}

}  // namespace
}  // namespace morvelle_assets
