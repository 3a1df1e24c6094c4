// The landscape against the targets that stand in it: every target of a game is placed on or
// in terrain of its own layer and at least half of it can be seen past the nearer layers,
// computed from the generated pixmaps exactly as the game draws and scrolls them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "data_files.h"
#include "graphics/image.h"

namespace morvelle_assets {
namespace {

using vexel::ImagePtr;

constexpr int32_t kScreenWidth = 1024;
constexpr int32_t kScreenHeight = 512;
constexpr float kLayerScale[3] = {0.25f, 0.5f, 1.0f};
// The scroll offset stops a little past 256; the targets beyond an edge are looked at there.
constexpr int32_t kScrollReach = 256;
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

class Landscape : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        terrain_ = vexel::LoadImageStrip(DataPath("gfx/Terrain.png"), 1536, 512, 0, 3, -1);
        for (const Target& target : kTargets) {
            if (!pictures_.count(target.picture)) {
                pictures_[target.picture] = vexel::LoadImageFrom(
                    DataPath(std::string("gfx/") + target.picture + ".png"), -1);
            }
        }
    }
    static void TearDownTestSuite() {
        terrain_.reset();
        pictures_.clear();
    }
    void SetUp() override {
        ASSERT_NE(terrain_, nullptr);
        for (const auto& [name, picture] : pictures_)
            ASSERT_NE(picture, nullptr) << name;
    }

    // Alpha of the terrain of `layer` under screen pixel (x, y) at scroll offset `scroll`: the
    // layer is drawn with its centre at (W / 2 + scroll × factor, H / 2). Outside the cell the
    // layer is transparent.
    static int32_t TerrainAlpha(int layer, int32_t scroll, int32_t x, int32_t y) {
        const float centre = kScreenWidth * 0.5f + static_cast<float>(scroll) * kLayerScale[layer];
        const float left = centre - static_cast<float>(terrain_->width) * 0.5f;
        const auto column = static_cast<int32_t>(std::floor(static_cast<float>(x) + 0.5f - left));
        if (column < 0 || column >= terrain_->width || y < 0 || y >= terrain_->height) return 0;
        return PixelAt(*terrain_, layer, column, y).a;
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
    static std::map<std::string, ImagePtr> pictures_;
};

ImagePtr Landscape::terrain_;
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

}  // namespace
}  // namespace morvelle_assets
