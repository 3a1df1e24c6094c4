#include "game/gun.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "game/recipe.h"
#include "game/targets.h"
#include "play_fixture.h"

namespace morvelle::testing {
namespace {

class Shots : public GameFixture {
  protected:
    void SetUp() override {
        GameFixture::SetUp();
        // A recipe that never completes, so that rewards do not blur the scores.
        Game().CurrentRecipe = TRecipe::Create(u"Test", {}, nullptr);
    }

    // Fires at (x, y) with the pointer there, as the play screen does.
    void ShootAt(int32_t x, int32_t y) {
        Game().PointerX = x;
        Game().PointerY = y;
        Game().CurrentGun->Fire(x, y);
    }
};

TEST_F(Shots, ScoreTheTargetsPointsTimesTheInverseLayerFactor) {
    using Create = std::function<EnemyPtr(float, float, int32_t)>;
    const std::vector<std::pair<Create, std::array<int32_t, 3>>> kinds = {
        {TMushroom::Create, {8, 4, 2}},   {TCherry::Create, {20, 10, 5}},
        {TApple::Create, {80, 40, 20}},   {TCarrot::Create, {80, 40, 20}},
        {TChicken::Create, {80, 40, 20}},
    };
    GameState& game = Game();
    for (const auto& [create, points] : kinds) {
        for (int32_t layer = 0; layer < LAYER_COUNT; ++layer) {
            const EnemyPtr target = create(300, 200, layer);
            SCOPED_TRACE(::testing::Message()
                         << vexel::ToUtf8(target->ToString()) << " layer " << layer);
            const int32_t before = game.Score;
            ShootAt(300, 200);
            EXPECT_EQ(game.Score - before, points[static_cast<size_t>(layer)]);
            TEnemy::Clear();
            game.CurrentGun->Mag = 8;
        }
    }
}

TEST_F(Shots, HitEveryPresentTargetUnderThePointInListOrder) {
    GameState& game = Game();
    const auto mushroom = TMushroom::Create(300, 200, 2);
    const auto chicken = TChicken::Create(310, 205, 2);
    const auto elsewhere = TApple::Create(600, 200, 2);
    // Asked for: Pilz first, then Huhn; only that order ticks off both.
    game.CurrentRecipe->Zutaten = {u"Pilz", u"Huhn", u"Pilz"};
    ShootAt(305, 202);
    EXPECT_EQ(game.Score, 22);
    EXPECT_EQ(game.CurrentRecipe->Zutaten, std::vector<String>{u"Pilz"});
    // The mushroom hides, the chicken is gone, the apple was not touched.
    EXPECT_EQ(mushroom->active, 0);
    EXPECT_EQ(game.TargetLayers[2].ToVector(), (std::vector<EnemyPtr>{mushroom, elsewhere}));
    EXPECT_EQ(game.ChickenCount, 0);
    EXPECT_EQ(elsewhere->active, 1);
    // A hidden target cannot be hit again.
    ShootAt(305, 202);
    EXPECT_EQ(game.Score, 22);
    EXPECT_EQ(game.CurrentRecipe->Zutaten, std::vector<String>{u"Pilz"});
}

TEST_F(Shots, MissAtTheFootprintBorder) {
    GameState& game = Game();
    game.CurrentGun->Mag = 100;
    // Near layer, 40x36 picture centred on (100, 100): footprint 80..120 x 82..118, open.
    TMushroom::Create(100, 100, 2);
    for (const auto& [x, y] : {std::pair{80, 100}, {120, 100}, {100, 82}, {100, 118}}) {
        ShootAt(x, y);
    }
    EXPECT_EQ(game.Score, 0);
    ShootAt(81, 83);
    EXPECT_EQ(game.Score, 2);

    // Far layer, scrolled by 40: 10x9 around (110, 100), left ToInt(105) and top ToInt(95.5).
    TEnemy::Clear();
    game.ScrollOffset = 40;
    TMushroom::Create(100, 100, 0);
    for (const auto& [x, y] : {std::pair{105, 100}, {115, 100}, {110, 95}, {110, 104}}) {
        ShootAt(x, y);
    }
    EXPECT_EQ(game.Score, 2);
    ShootAt(106, 96);
    EXPECT_EQ(game.Score, 10);
}

TEST_F(Shots, StopAtTheFirstTerrainLayerOpaqueUnderThePointer) {
    GameState& game = Game();
    game.CurrentGun->Mag = 100;
    // Terrain layers are centred on the screen's middle: picture x 256 is screen x 0 when not
    // scrolled. Near terrain covers screen 100..199, middle terrain 300..399 (rows 200..299).
    game.Assets.TerrainImage = TerrainImage({{2, 356, 200, 100, 100}, {1, 556, 200, 100, 100}});
    const auto stack_at = [](float x) {
        return std::vector<EnemyPtr>{TMushroom::Create(x, 250, 2), TMushroom::Create(x, 250, 1),
                                     TMushroom::Create(x, 250, 0)};
    };
    const auto near_terrain = stack_at(150);
    const auto middle_terrain = stack_at(350);
    const auto open = stack_at(550);

    ShootAt(150, 250);
    EXPECT_EQ(game.Score, 2);
    ShootAt(350, 250);
    EXPECT_EQ(game.Score, 2 + 2 + 4);
    ShootAt(550, 250);
    EXPECT_EQ(game.Score, 8 + 2 + 4 + 8);
    const auto states = [](const std::vector<EnemyPtr>& stack) {
        return std::vector<int32_t>{stack[0]->active, stack[1]->active, stack[2]->active};
    };
    EXPECT_EQ(states(near_terrain), (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(states(middle_terrain), (std::vector<int32_t>{0, 0, 1}));
    EXPECT_EQ(states(open), (std::vector<int32_t>{0, 0, 0}));

    // The middle terrain moves half the scroll: at 100 it covers 350..449, no more 300..349.
    TEnemy::Clear();
    game.ScrollOffset = 100;
    const auto far_only = TMushroom::Create(310, 250, 0);  // on screen at 335
    ShootAt(335, 250);
    EXPECT_EQ(far_only->active, 0);
}

TEST_F(Shots, EightShotsEmptyTheMagazineAndReloadRefillsIt) {
    GameState& game = Game();
    const auto target = TChicken::Create(500, 300, 2);
    TGun& gun = *game.CurrentGun;
    for (int32_t shot = 1; shot <= 8; ++shot) {
        ShootAt(10, 10);
        EXPECT_EQ(gun.Mag, 8 - shot);
    }
    EXPECT_EQ(TakeSounds(), std::vector<std::string>(8, "shot"));
    ShootAt(500, 300);
    EXPECT_EQ(TakeSounds(), std::vector<std::string>{"empty"});
    EXPECT_EQ(game.Score, 0);
    EXPECT_EQ(gun.Mag, 0);
    EXPECT_EQ(game.TargetLayers[2].Count(), 1u);

    gun.Reload();
    EXPECT_EQ(gun.Mag, 8);
    EXPECT_EQ(TakeSounds(), std::vector<std::string>{"reload"});
    gun.Reload();
    EXPECT_TRUE(TakeSounds().empty());
    gun.Mag = 3;
    gun.Reload();
    EXPECT_EQ(gun.Mag, 8);
    EXPECT_EQ(TakeSounds(), std::vector<std::string>{"reload"});
}

TEST_F(Shots, TheMagazineShowsDimmedIconsWithTheShotsLeftOverThem) {
    TGun& gun = *Game().CurrentGun;
    gun.Mag = 2;
    gun.Draw();
    // 30x34 icons centred on 1024 - 30 (i + 1), 512 - 34.
    std::vector<std::string> expected = {"Color 128 128 125"};
    const auto icon = [](int32_t i) {
        return "Frame -15 -17 15 17 " + std::to_string(1024 - 30 * (i + 1)) + " 478 0 0 30 34";
    };
    for (int32_t i = 0; i < 8; ++i)
        expected.push_back(icon(i));
    expected.push_back("Color 255 255 255");
    expected.push_back(icon(0));
    expected.push_back(icon(1));
    EXPECT_EQ(driver_->TakeCalls(), expected);
}

}  // namespace
}  // namespace morvelle::testing
