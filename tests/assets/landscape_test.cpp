// The landscape against the targets that stand in it and the text written over it: every target
// of a game is placed on or in terrain of its own layer and at least half of it can be seen past
// the nearer layers, and every text the game writes on the scenery stands out from it at every
// scroll offset, computed from the generated pixmaps exactly as the game draws and scrolls them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data_files.h"
#include "font/freetype_font.h"
#include "game/text_and_sound.h"
#include "graphics/image.h"
#include "graphics/image_font.h"
#include "runtime/string.h"

namespace morvelle_assets {
namespace {

using vexel::ImagePtr;

constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 512;
constexpr float kLayerScale[3] = {0.25f, 0.5f, 1.0f};
// The scroll offset stops a little past 256; the targets beyond an edge are looked at there.
constexpr int32_t kScrollReach = 256;
// The scroll offset moves in steps of 5 and can end at most 265 from the middle (250, then 5
// and 10 more in one frame); the menus show the scenery where the last game left it.
constexpr int32_t kScrollStep = 5;
constexpr int32_t kScrollLimit = 265;
// A terrain pixel stops shots from alpha 128 on; a nearer pixel hides a target from alpha 32.
constexpr int32_t kOpaque = 128;
constexpr int32_t kHides = 32;

struct Target {
    int layer;
    const char* picture;
    float fx, fy;  // position as factors of the screen size
};

// The targets a game starts with, in the order the game creates them.
constexpr Target kTargets[] = {
    {0, "Pilz", 0.60f, 0.65f},    {0, "Pilz", 0.64f, 0.68f},   {0, "Pilz", 0.57f, 0.69f},
    {0, "Pilz", 0.62f, 0.73f},    {0, "Kirsch", 0.25f, 0.50f}, {0, "Kirsch", 0.32f, 0.35f},
    {0, "Kirsch", 0.28f, 0.44f},  {0, "Kirsch", 0.26f, 0.37f}, {1, "Kirsch", -0.10f, 0.48f},
    {1, "Kirsch", -0.05f, 0.46f}, {1, "Kirsch", 0.01f, 0.38f}, {1, "Kirsch", -0.04f, 0.35f},
    {1, "Kirsch", -0.09f, 0.36f}, {1, "Rübe", 0.45f, 0.50f},   {1, "Rübe", 0.30f, 0.80f},
    {1, "Rübe", 0.40f, 0.72f},    {1, "Rübe", 0.35f, 0.55f},   {1, "Rübe", 0.31f, 0.65f},
    {1, "Rübe", 0.39f, 0.83f},    {1, "Rübe", 0.28f, 0.84f},   {1, "Apfel", 1.00f, 0.40f},
    {1, "Apfel", 1.10f, 0.30f},   {1, "Apfel", 1.08f, 0.44f},  {1, "Apfel", 1.05f, 0.35f},
    {1, "Apfel", 1.02f, 0.31f},   {2, "Apfel", 0.72f, 0.60f},  {2, "Apfel", 0.79f, 0.48f},
    {2, "Apfel", 0.74f, 0.35f},   {2, "Apfel", 0.85f, 0.55f},  {2, "Pilz", 0.07f, 0.92f},
    {2, "Pilz", 0.05f, 0.95f},    {2, "Pilz", 0.04f, 0.90f},   {2, "Rübe", 0.90f, 0.80f},
    {2, "Rübe", 0.95f, 0.87f},    {2, "Rübe", 0.98f, 0.89f},   {2, "Rübe", 1.05f, 0.78f},
    {2, "Rübe", 0.96f, 0.77f},    {0, "Huhn", -0.10f, 0.20f},  {0, "Huhn", 1.10f, 0.25f},
};

struct Rect {
    int32_t left, top, width, height;
};

struct Colour {
    double r, g, b;
};

// `top` drawn over `below` with its alpha, as the game blends.
Colour Over(const Rgba& top, const Colour& below) {
    const double a = top.a / 255.0;
    return {top.r * a + below.r * (1 - a), top.g * a + below.g * (1 - a),
            top.b * a + below.b * (1 - a)};
}

// Relative luminance of a frame-buffer colour (8 bits a channel, so blends are rounded) and
// the contrast ratio of two luminances, as the web's accessibility guidelines define them:
// from 1:1 (the same) to 21:1 (black on white).
double RelativeLuminance(const Colour& c) {
    static const std::vector<double> linear = [] {
        std::vector<double> table(256);
        for (size_t i = 0; i < table.size(); ++i) {
            const double v = static_cast<double>(i) / 255.0;
            table[i] = v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    const auto channel = [](double v) { return linear[static_cast<size_t>(std::lround(v))]; };
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}
double ContrastRatio(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

class Landscape : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        terrain_ = vexel::LoadImageStrip(DataPath("gfx/Terrain.png"), 1536, 512, 0, 3, -1);
        sky_ = vexel::LoadImageFrom(DataPath("gfx/Sky.png"), -1);
        for (const Target& target : kTargets) {
            if (!pictures_.count(target.picture)) {
                pictures_[target.picture] = vexel::LoadImageFrom(
                    DataPath(std::string("gfx/") + target.picture + ".png"), -1);
            }
        }
    }
    static void TearDownTestSuite() {
        terrain_.reset();
        sky_.reset();
        pictures_.clear();
    }
    void SetUp() override {
        ASSERT_NE(terrain_, nullptr);
        ASSERT_NE(sky_, nullptr);
        for (const auto& [name, picture] : pictures_)
            ASSERT_NE(picture, nullptr) << name;
    }

    // Alpha of the terrain of `layer` under screen pixel (x, y) at scroll offset `scroll`: the
    // layer is drawn with its centre at (W / 2 + scroll × factor, H / 2). Outside the cell the
    // layer is transparent.
    static int32_t TerrainAlpha(int layer, int32_t scroll, int32_t x, int32_t y) {
        return TerrainPixel(layer, scroll, x, y).a;
    }
    static Rgba TerrainPixel(int layer, int32_t scroll, int32_t x, int32_t y) {
        const float centre = kScreenWidth * 0.5f + static_cast<float>(scroll) * kLayerScale[layer];
        const float left = centre - static_cast<float>(terrain_->width) * 0.5f;
        const auto column = static_cast<int32_t>(std::floor(static_cast<float>(x) + 0.5f - left));
        if (column < 0 || column >= terrain_->width || y < 0 || y >= terrain_->height)
            return {0, 0, 0, 0};
        return PixelAt(*terrain_, layer, column, y);
    }

    // The rectangle a shot must hit, as the game computes it from the picture and the layer.
    static Rect Footprint(const Target& target, float x, int32_t scroll) {
        const vexel::TImage& picture = *pictures_.at(target.picture);
        const float f = kLayerScale[target.layer];
        const float y = static_cast<float>(kScreenHeight) * target.fy;
        return {static_cast<int32_t>(x + static_cast<float>(scroll) * f -
                                     static_cast<float>(picture.width) * f / 2),
                static_cast<int32_t>(y - static_cast<float>(picture.height) * f / 2),
                static_cast<int32_t>(static_cast<float>(picture.width) * f),
                static_cast<int32_t>(static_cast<float>(picture.height) * f)};
    }

    static float StartX(const Target& target) {
        return static_cast<float>(kScreenWidth) * target.fx;
    }

    // Share of the footprint that is on the screen.
    static double OnScreen(const Rect& r) {
        const int32_t w = std::min(r.left + r.width, kScreenWidth) - std::max(r.left, 0);
        const int32_t h = std::min(r.top + r.height, kScreenHeight) - std::max(r.top, 0);
        return w <= 0 || h <= 0 ? 0.0 : static_cast<double>(w) * h / (r.width * r.height);
    }

    // Share of the footprint that is on the screen and not hidden by a nearer layer.
    static double Visible(int layer, const Rect& r, int32_t scroll) {
        int64_t seen = 0;
        for (int32_t y = std::max(r.top, 0); y < std::min(r.top + r.height, kScreenHeight); ++y) {
            for (int32_t x = std::max(r.left, 0); x < std::min(r.left + r.width, kScreenWidth);
                 ++x) {
                bool hidden = false;
                for (int nearer = layer + 1; nearer < 3 && !hidden; ++nearer)
                    hidden = TerrainAlpha(nearer, scroll, x, y) >= kHides;
                seen += hidden ? 0 : 1;
            }
        }
        return static_cast<double>(seen) / (r.width * r.height);
    }

    // Share of the footprint, and of half its height below it, where the target's own layer
    // is solid: the ground it stands on or the crown it hangs in.
    static double Grounded(int layer, const Rect& r, int32_t scroll) {
        int64_t solid = 0;
        const int32_t bottom = r.top + r.height + r.height / 2;
        for (int32_t y = r.top; y < bottom; ++y)
            for (int32_t x = r.left; x < r.left + r.width; ++x)
                solid += TerrainAlpha(layer, scroll, x, y) >= kOpaque ? 1 : 0;
        return static_cast<double>(solid) / (static_cast<double>(r.width) * (bottom - r.top));
    }

    static ImagePtr terrain_;
    static ImagePtr sky_;
    static std::map<std::string, ImagePtr> pictures_;
};

ImagePtr Landscape::terrain_;
ImagePtr Landscape::sky_;
std::map<std::string, ImagePtr> Landscape::pictures_;

// At least this share of the footprint and the strip below it must be the target's own
// terrain, so no target floats in the air in front of the layers behind.
constexpr double kMinGrounded = 0.2;

TEST_F(Landscape, EveryStandingTargetIsOnItsOwnTerrainAndAtLeastHalfVisible) {
    int index = 0;
    for (const Target& target : kTargets) {
        ++index;
        if (std::string(target.picture) == "Huhn") continue;
        const float x = StartX(target);
        // Seen where it starts if it is mostly on the screen there; a target reaching past an
        // edge is also looked at with the layers scrolled as far as they go towards it.
        const double on_screen = OnScreen(Footprint(target, x, 0));
        std::vector<int32_t> scrolls;
        if (on_screen >= 0.5) scrolls.push_back(0);
        if (on_screen < 1.0)
            scrolls.push_back(x < 0.5f * kScreenWidth ? kScrollReach : -kScrollReach);
        for (const int32_t scroll : scrolls) {
            const Rect r = Footprint(target, x, scroll);
            SCOPED_TRACE("target " + std::to_string(index) + " " + target.picture + " in layer " +
                         std::to_string(target.layer) + " at scroll " + std::to_string(scroll));
            EXPECT_GE(Visible(target.layer, r, scroll), 0.5);
            EXPECT_GE(Grounded(target.layer, r, scroll), kMinGrounded);
        }
    }
}

TEST_F(Landscape, ChickensWalkAcrossTheFarHillsInView) {
    for (const Target& target : kTargets) {
        if (std::string(target.picture) != "Huhn") continue;
        const float start = StartX(target);
        SCOPED_TRACE("chicken starting at x " + std::to_string(start));
        // Every place along its walk where the whole chicken is on the screen.
        const int32_t width = Footprint(target, start, 0).width;
        for (int32_t x = width / 2 + 1; x < kScreenWidth - width / 2 - 1; x += 2) {
            const Rect r = Footprint(target, static_cast<float>(x), 0);
            ASSERT_GE(Visible(target.layer, r, 0), 0.5) << "at x " << x;
            ASSERT_GE(Grounded(target.layer, r, 0), kMinGrounded) << "at x " << x;
        }
    }
}

TEST_F(Landscape, FarHillsStayHazierThanTheMeadowInFrontOfThem) {
    // The layers are deep enough in tone for white text, but the haze still sets the far hills
    // apart: over their opaque pixels they are no darker than the middle meadow and clearly
    // greyer (saturation: (max - min) / max of the channels).
    double luminance[2] = {0, 0}, saturation[2] = {0, 0};
    for (int layer = 0; layer < 2; ++layer) {
        int64_t count = 0;
        for (int32_t y = 0; y < terrain_->height; ++y) {
            for (int32_t x = 0; x < terrain_->width; ++x) {
                const Rgba c = PixelAt(*terrain_, layer, x, y);
                if (c.a < 255) continue;
                const int32_t high = std::max({c.r, c.g, c.b}), low = std::min({c.r, c.g, c.b});
                luminance[layer] += RelativeLuminance({double(c.r), double(c.g), double(c.b)});
                saturation[layer] += high > 0 ? double(high - low) / high : 0;
                ++count;
            }
        }
        ASSERT_GT(count, 0);
        luminance[layer] /= static_cast<double>(count);
        saturation[layer] /= static_cast<double>(count);
    }
    EXPECT_GE(luminance[0], luminance[1]);
    EXPECT_LT(saturation[0], saturation[1] * 0.75);
}

TEST_F(Landscape, SkyShowsAboveAndGroundCoversTheBottomAtEveryScroll) {
    // The clock and score are written on the sky at the top; below, no gap between the
    // layers may open onto the sky, whatever the scroll.
    for (int32_t scroll = -260; scroll <= 260; scroll += 4) {
        for (int32_t x = 0; x < kScreenWidth; ++x) {
            for (int layer = 0; layer < 3; ++layer)
                ASSERT_LT(TerrainAlpha(layer, scroll, x, 0), kHides)
                    << "layer " << layer << " x " << x << " scroll " << scroll;
            bool covered = false;
            for (int layer = 0; layer < 3 && !covered; ++layer)
                covered = TerrainAlpha(layer, scroll, x, kScreenHeight - 1) == 255;
            ASSERT_TRUE(covered) << "x " << x << " scroll " << scroll;
        }
    }
}

// A text the game writes over the scenery, placed as the game's aligned text places it: the
// point (x, y) at the fractions (align_x, align_y) of its width and line height. Every text
// is white on the game's black outline.
struct Text {
    std::string group;  // the line it counts towards
    vexel::String text;
    float x, y, align_x, align_y;
    vexel::String panel;  // non-empty: drawn on the recipe panel sized for this text
    bool on_bar = false;  // drawn on the green bar of the newest high-score row
};

// Normal text by the web's accessibility guidelines (the game's is 24 pixels, regular).
constexpr double kBar = 4.5;

// Every text the game draws on the scenery at 1024×512, with the widest and narrowest of the
// variable ones: clock and score in the sky, the recipe panel at the bottom left, the ten
// high-score rows (the newest on its green bar), the name entry with its prompt, score and
// hint, the notice and the sound switch's label.
std::vector<Text> SceneryTexts() {
    const float w = kScreenWidth, h = kScreenHeight;
    std::vector<Text> texts;
    for (const char16_t* clock : {u"1:30", u"0:48", u"1:05", u"12:34"})
        texts.push_back({"clock", clock, w * 0.02f, h * 0.05f, 0, 0.5f, {}});
    for (const char16_t* score : {u"0", u"1315", u"123456"})
        texts.push_back({"score", score, w * 0.02f, h * 0.1f, 0, 0.5f, {}});
    const std::vector<vexel::String> wanted = {u"Pilz (0%)", u"Huhn (85%)", u"Apfel (50%)",
                                               u"Karotte (90%)", u"Kirsche (83%)"};
    for (const char16_t* soup :
         {u"Pilz-Suppe: ", u"Hühnerbrühe: ", u"Frucht-Punsch: ", u"Gemüsebrühe: "})
        texts.push_back({"recipe panel", soup, 32, h - 32, 0, 0.5f, wanted[0]});
    for (const vexel::String& next : wanted)
        texts.push_back({"recipe panel", next, w * 0.33f, h - 32, 0.5f, 0.5f, next});
    const int32_t points[] = {1315, 1050, 815, 610, 435, 290, 175, 90, 35, 10};
    for (int32_t rank = 1; rank <= 10; ++rank) {
        const auto y = static_cast<float>(static_cast<int32_t>(h * 0.025f + h * 0.07f * rank));
        const vexel::String number = vexel::FromUtf8(std::to_string(rank));
        for (const bool bar : {false, true}) {
            const std::string group = bar ? "newest high-score row" : "high-score rows";
            texts.push_back({group, number + u".", w * 0.25f, y, 1, 0.5f, {}, bar});
            for (const char16_t* name : {u"Orlan", u"Maximilian Weber"})
                texts.push_back({group, name, w * 0.5f, y, 0.5f, 0.5f, {}, bar});
            for (const vexel::String& score :
                 {vexel::FromUtf8(std::to_string(points[rank - 1])), vexel::String(u"123456")})
                texts.push_back({group, score, w * 0.77f, y, 1, 0.5f, {}, bar});
        }
    }
    for (const char16_t* name : {u"><", u">Jürgen<", u">Maximilian Weber<"})
        texts.push_back({"name entry", name, w * 0.5f, h * 0.5f, 0.5f, 0.5f, {}});
    for (const char16_t* score : {u"Punkte: 0", u"Punkte: 123456"})
        texts.push_back({"name entry score", score, w * 0.5f, h * 0.3f, 0.5f, 0.5f, {}});
    texts.push_back({"name entry prompt", u"Dein Name:", w * 0.5f, h * 0.4f, 0.5f, 0.5f, {}});
    texts.push_back({"name entry hint",
                     u"Enter trägt ihn in die Bestenliste ein",
                     w * 0.5f,
                     h * 0.62f,
                     0.5f,
                     0.5f,
                     {}});
    texts.push_back({"notice",
                     u"Diese Funktionalität ist aus Kostengründen entfallen!",
                     w * 0.5f,
                     h * 0.5f,
                     0.5f,
                     0.5f,
                     {}});
    for (const char16_t* label : {u"An", u"Aus"})
        texts.push_back({"sound label", label, w - 64, h - 64 * 0.25f, 0.5f, 0.5f, {}});
    return texts;
}

class SceneryText : public Landscape {
  protected:
    static void SetUpTestSuite() {
        Landscape::SetUpTestSuite();
        // The game's font as the game draws it: FreeType glyphs as an image font, each with
        // its outline at the game's width.
        auto source = vexel::TFreeTypeFont::Load(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                                 24, vexel::FONTSTYLE_SMOOTH);
        if (source) {
            font_ = std::make_shared<vexel::TImageFont>();
            font_->_glyphs.resize(static_cast<size_t>(source->CountGlyphs()));
            font_->_src_font = std::move(source);
        }
        // The pictures' pixels, read once: the test looks at each many times over.
        if (!sky_ || !terrain_) return;
        sky_pixels_.clear();
        for (int32_t y = 0; y < sky_->height; ++y)
            for (int32_t x = 0; x < sky_->width; ++x)
                sky_pixels_.push_back(PixelAt(*sky_, 0, x, y));
        terrain_pixels_.clear();
        for (int layer = 0; layer < 3; ++layer)
            for (int32_t y = 0; y < terrain_->height; ++y)
                for (int32_t x = 0; x < terrain_->width; ++x)
                    terrain_pixels_.push_back(PixelAt(*terrain_, layer, x, y));
    }
    static void TearDownTestSuite() {
        font_.reset();
        sky_pixels_.clear();
        terrain_pixels_.clear();
        Landscape::TearDownTestSuite();
    }

    // The scenery's colour at screen pixel (x, y): the sky, tiled from half its width in (its
    // centred handle at the screen's left edge), under the three layers, each drawn like
    // TerrainAlpha finds it and blended by its alpha.
    static Colour Scenery(int32_t scroll, int32_t x, int32_t y) {
        const int32_t sky_width = sky_->width, width = terrain_->width, height = terrain_->height;
        const Rgba& sky =
            sky_pixels_[size_t(y) * size_t(sky_width) + size_t((x + sky_width / 2) % sky_width)];
        Colour colour{static_cast<double>(sky.r), static_cast<double>(sky.g),
                      static_cast<double>(sky.b)};
        for (int layer = 0; layer < 3; ++layer) {
            const float centre =
                kScreenWidth * 0.5f + static_cast<float>(scroll) * kLayerScale[layer];
            const float left = centre - static_cast<float>(width) * 0.5f;
            const auto column =
                static_cast<int32_t>(std::floor(static_cast<float>(x) + 0.5f - left));
            if (column < 0 || column >= width) continue;
            colour =
                Over(terrain_pixels_[(size_t(layer) * size_t(height) + size_t(y)) * size_t(width) +
                                     size_t(column)],
                     colour);
        }
        return colour;
    }

    static int32_t Width(const vexel::String& text) {
        int32_t width = 0;
        for (const char16_t unit : text)
            if (const vexel::ImageGlyphPtr glyph = font_->LoadGlyph(font_->CharToGlyph(unit)))
                width += static_cast<int32_t>(glyph->Advance());
        return width;
    }

    // A screen pixel behind a text and what covers the scenery there, packed into one number:
    // (y × width + x) × 4 + cover, where cover is 1 on the recipe panel (translucent grey,
    // 24 in from the left, 48 up from the bottom, 32 high, as wide as the game makes it for
    // the text `t.panel`), 2 on the newest high-score row's green bar, else 0.
    using Spot = int64_t;
    enum Cover { kScenery = 0, kPanel = 1, kGreenBar = 2 };

    // The screen pixels behind the text, those its glyphs touch and their neighbours (the
    // scenery a reader sees the letters against), each with the alpha of the outline the
    // glyphs are drawn on there: the outlines of all glyphs, as they darken each other.
    static std::vector<std::pair<Spot, double>> Behind(const Text& t) {
        const auto left = static_cast<int32_t>(t.x - static_cast<float>(Width(t.text)) * t.align_x);
        const auto top =
            static_cast<int32_t>(t.y - static_cast<float>(font_->Height()) * t.align_y);
        const float right = 24 + kScreenWidth * 0.28f + static_cast<float>(Width(t.panel));
        std::map<Spot, double> clear;  // per spot, how much of what lies behind shows through
        std::vector<Spot> spots;
        int32_t pen = left;
        for (const char16_t unit : t.text) {
            const vexel::ImageGlyphPtr glyph = font_->LoadGlyph(font_->CharToGlyph(unit));
            if (!glyph) continue;
            font_->LoadOutlinedGlyph(*glyph, morvelle::TEXT_OUTLINE_WIDTH);
            if (glyph->_image) {
                const vexel::TPixmap& ink = *glyph->_image->pixmaps[0];
                for (int32_t y = 0; y < ink.height; ++y)
                    for (int32_t x = 0; x < ink.width; ++x)
                        if ((static_cast<uint32_t>(ink.ReadPixel(x, y)) >> 24) != 0)
                            for (int32_t dy = -1; dy <= 1; ++dy)
                                for (int32_t dx = -1; dx <= 1; ++dx)
                                    spots.push_back(SpotAt(t, right, pen + glyph->_x + x + dx,
                                                           top + glyph->_y + y + dy));
            }
            if (glyph->_outlined_image) {
                const vexel::TPixmap& outline = *glyph->_outlined_image->pixmaps[0];
                const int32_t margin = glyph->_outline_margin;
                for (int32_t y = 0; y < outline.height; ++y)
                    for (int32_t x = 0; x < outline.width; ++x) {
                        const auto alpha = static_cast<uint32_t>(outline.ReadPixel(x, y)) >> 24;
                        const Spot spot = SpotAt(t, right, pen + glyph->_x - margin + x,
                                                 top + glyph->_y - margin + y);
                        if (alpha == 0 || spot < 0) continue;
                        auto& through = clear.try_emplace(spot, 1.0).first->second;
                        through *= 1 - alpha / 255.0;
                    }
            }
            pen += static_cast<int32_t>(glyph->Advance());
        }
        std::sort(spots.begin(), spots.end());
        spots.erase(std::unique(spots.begin(), spots.end()), spots.end());
        std::vector<std::pair<Spot, double>> behind;
        for (const Spot spot : spots) {
            if (spot < 0) continue;
            const auto found = clear.find(spot);
            behind.emplace_back(spot, found == clear.end() ? 0.0 : 1 - found->second);
        }
        return behind;
    }

    // The spot of screen pixel (x, y) for text `t`, whose panel ends at `right`; -1 off the
    // screen.
    static Spot SpotAt(const Text& t, float right, int32_t x, int32_t y) {
        if (x < 0 || x >= kScreenWidth || y < 0 || y >= kScreenHeight) return -1;
        const float centre = static_cast<float>(x) + 0.5f;
        Cover cover = kScenery;
        if (!t.panel.empty() && centre > 24 && centre < right && y >= kScreenHeight - 48 &&
            y < kScreenHeight - 16)
            cover = kPanel;
        // The bar spans 0.2 to 0.8 of the width and 16 above to 16 below the row's centre.
        if (t.on_bar && centre > kScreenWidth * 0.2f && centre < kScreenWidth * 0.8f &&
            y >= static_cast<int32_t>(t.y) - 16 && y < static_cast<int32_t>(t.y) + 16)
            cover = kGreenBar;
        return (Spot{y} * kScreenWidth + x) * 4 + cover;
    }

    // The colour of what lies behind a spot at a scroll offset: the scenery, under the panel
    // where that is (grey 96 at alpha 0.66, which the frame buffer keeps as 168), or the
    // opaque green bar.
    static Colour ColourBehind(Spot spot, int32_t scroll) {
        const auto x = static_cast<int32_t>(spot / 4 % kScreenWidth);
        const auto y = static_cast<int32_t>(spot / 4 / kScreenWidth);
        switch (spot % 4) {
            case kPanel:
                return Over({96, 96, 96, 168}, Scenery(scroll, x, y));
            case kGreenBar:
                return {64, 200, 64};
            default:
                return Scenery(scroll, x, y);
        }
    }

    static std::shared_ptr<vexel::TImageFont> font_;
    static std::vector<Rgba> sky_pixels_, terrain_pixels_;
};

std::shared_ptr<vexel::TImageFont> SceneryText::font_;
std::vector<Rgba> SceneryText::sky_pixels_;
std::vector<Rgba> SceneryText::terrain_pixels_;

TEST_F(SceneryText, EveryTextStandsOutFromWhatLiesBehindItAtEveryScroll) {
    // White on its black outline, every text reaches 4.5:1 against the mean luminance of what
    // lies behind its glyphs and their neighbours (the outline over the scenery), and so does
    // each of at least nine in ten of those pixels, at every scroll offset it can be seen at,
    // the start view among them.
    ASSERT_NE(font_, nullptr);
    const std::vector<Text> texts = SceneryTexts();
    // Each text's spots as positions in one list of every spot, so that a spot several texts
    // share is composed once per offset.
    std::vector<std::vector<std::pair<Spot, double>>> behind;
    std::vector<Spot> all;
    for (const Text& t : texts) {
        behind.push_back(Behind(t));
        ASSERT_GT(behind.back().size(), 40u) << vexel::ToUtf8(t.text);
        for (const auto& [spot, outline] : behind.back())
            all.push_back(spot);
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::vector<std::vector<size_t>> positions;
    for (const auto& spots : behind) {
        positions.emplace_back();
        for (const auto& [spot, outline] : spots)
            positions.back().push_back(
                size_t(std::lower_bound(all.begin(), all.end(), spot) - all.begin()));
    }
    const double ink = RelativeLuminance({255, 255, 255});
    std::map<std::string, double> lowest_mean, lowest_share;
    std::vector<Colour> colours(all.size());
    std::vector<double> ratios;
    for (int32_t scroll = -kScrollLimit; scroll <= kScrollLimit; scroll += kScrollStep) {
        for (size_t i = 0; i < all.size(); ++i)
            colours[i] = ColourBehind(all[i], scroll);
        for (size_t k = 0; k < texts.size(); ++k) {
            const Text& t = texts[k];
            double sum = 0;
            ratios.clear();
            for (size_t n = 0; n < positions[k].size(); ++n) {
                const auto alpha = static_cast<int32_t>(std::lround(behind[k][n].second * 255));
                const double luminance =
                    RelativeLuminance(Over({0, 0, 0, alpha}, colours[positions[k][n]]));
                sum += luminance;
                ratios.push_back(ContrastRatio(ink, luminance));
            }
            const auto tenth = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 10);
            std::nth_element(ratios.begin(), tenth, ratios.end());
            const double mean = ContrastRatio(ink, sum / static_cast<double>(ratios.size()));
            ASSERT_GE(mean, kBar) << '"' << vexel::ToUtf8(t.text) << "\" at scroll " << scroll;
            ASSERT_GE(*tenth, kBar) << '"' << vexel::ToUtf8(t.text) << "\" at scroll " << scroll;
            auto& m = lowest_mean.try_emplace(t.group, mean).first->second;
            m = std::min(m, mean);
            auto& n = lowest_share.try_emplace(t.group, *tenth).first->second;
            n = std::min(n, *tenth);
        }
    }
    // The lowest figures, for the record (--gtest_output=xml lists them).
    for (const auto& [group, mean] : lowest_mean) {
        char figure[64];
        std::snprintf(figure, sizeof figure, "%.2f:1 (nine in ten pixels %.2f:1)", mean,
                      lowest_share[group]);
        RecordProperty(group, figure);
    }
}

}  // namespace
}  // namespace morvelle_assets
