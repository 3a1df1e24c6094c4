#include "game/targets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "play_fixture.h"
#include "system/random.h"

namespace morvelle::testing {
namespace {

struct Expected {
    std::u16string kind;
    float x, y;
};

void ExpectLayer(int32_t layer, const std::vector<Expected>& expected) {
    const auto actual = Game().TargetLayers[layer].ToVector();
    ASSERT_EQ(actual.size(), expected.size()) << "layer " << layer;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "layer " << layer << " #" << i);
        EXPECT_EQ(actual[i]->ToString(), expected[i].kind);
        EXPECT_EQ(actual[i]->x, expected[i].x);
        EXPECT_EQ(actual[i]->y, expected[i].y);
    }
}

std::vector<EnemyPtr> Targets(int32_t layer) {
    return Game().TargetLayers[layer].ToVector();
}

using Targets_ = GameFixture;

TEST_F(Targets_, GenerateLaysOutThe39TargetsPerLayerInOrder) {
    TEnemy::Generate();
    // Products of the screen size and single-precision factors; 1024 and 512 are powers of
    // two, so each is the float nearest the decimal product.
    ExpectLayer(0, {{u"Pilz", 614.4f, 332.8f},
                    {u"Pilz", 655.36f, 348.16f},
                    {u"Pilz", 583.68f, 353.28f},
                    {u"Pilz", 634.88f, 373.76f},
                    {u"Kirsche", 256.0f, 256.0f},
                    {u"Kirsche", 327.68f, 179.2f},
                    {u"Kirsche", 286.72f, 225.28f},
                    {u"Kirsche", 266.24f, 189.44f},
                    {u"Huhn", -102.4f, 102.4f},
                    {u"Huhn", 1126.4f, 128.0f}});
    ExpectLayer(1, {{u"Kirsche", -102.4f, 245.76f},
                    {u"Kirsche", -51.2f, 235.52f},
                    {u"Kirsche", 10.24f, 194.56f},
                    {u"Kirsche", -40.96f, 179.2f},
                    {u"Kirsche", -92.16f, 184.32f},
                    {u"Karotte", 460.8f, 256.0f},
                    {u"Karotte", 307.2f, 409.6f},
                    {u"Karotte", 409.6f, 368.64f},
                    {u"Karotte", 358.4f, 281.6f},
                    {u"Karotte", 317.44f, 332.8f},
                    {u"Karotte", 399.36f, 424.96f},
                    {u"Karotte", 286.72f, 430.08f},
                    {u"Apfel", 1024.0f, 204.8f},
                    {u"Apfel", 1126.4f, 153.6f},
                    {u"Apfel", 1105.92f, 225.28f},
                    {u"Apfel", 1075.2f, 179.2f},
                    {u"Apfel", 1044.48f, 158.72f}});
    ExpectLayer(2, {{u"Apfel", 737.28f, 307.2f},
                    {u"Apfel", 808.96f, 245.76f},
                    {u"Apfel", 757.76f, 179.2f},
                    {u"Apfel", 870.4f, 281.6f},
                    {u"Pilz", 71.68f, 471.04f},
                    {u"Pilz", 51.2f, 486.4f},
                    {u"Pilz", 40.96f, 460.8f},
                    {u"Karotte", 921.6f, 409.6f},
                    {u"Karotte", 972.8f, 445.44f},
                    {u"Karotte", 1003.52f, 455.68f},
                    {u"Karotte", 1075.2f, 399.36f},
                    {u"Karotte", 983.04f, 394.24f}});

    // Kinds carry their points and pictures; the static ones are present, the chickens walk
    // toward the middle at the far layer's speed.
    const auto far = Targets(0);
    EXPECT_EQ(far[0]->p, 2);
    EXPECT_EQ(far[0]->img, Game().Assets.MushroomImage);
    EXPECT_EQ(far[0]->active, 1);
    EXPECT_EQ(far[4]->p, 5);
    EXPECT_EQ(far[4]->img, Game().Assets.CherryImage);
    EXPECT_EQ(Targets(1)[5]->p, 20);
    EXPECT_EQ(Targets(1)[5]->img, Game().Assets.CarrotImage);
    EXPECT_EQ(Targets(1)[12]->p, 20);
    EXPECT_EQ(Targets(1)[12]->img, Game().Assets.AppleImage);
    const auto& left = static_cast<const TChicken&>(*far[8]);
    const auto& right = static_cast<const TChicken&>(*far[9]);
    EXPECT_EQ(left.active, -1);
    EXPECT_EQ(left.p, 20);
    EXPECT_EQ(left.img, Game().Assets.ChickenImage);
    EXPECT_EQ(left.r, 1);
    EXPECT_EQ(right.r, -1);
    EXPECT_EQ(left.s, 1.5f);
    EXPECT_EQ(Game().ChickenCount, 2);
}

TEST_F(Targets_, ChickensWalkTowardTheMiddleFasterInNearerLayers) {
    const auto middle = std::static_pointer_cast<TChicken>(TChicken::Create(512, 100, 1));
    const auto just_left =
        std::static_pointer_cast<TChicken>(TChicken::Create(std::nextafter(512.0f, 0.0f), 100, 2));
    const auto far = std::static_pointer_cast<TChicken>(TChicken::Create(900, 100, 0));
    EXPECT_EQ(middle->r, -1);
    EXPECT_EQ(middle->s, 3.0f);
    EXPECT_EQ(just_left->r, 1);
    EXPECT_EQ(just_left->s, 4.5f);
    EXPECT_EQ(far->s, 1.5f);
    EXPECT_EQ(Game().ChickenCount, 3);

    middle->Move();
    just_left->Move();
    EXPECT_EQ(middle->x, 509.0f);
    EXPECT_EQ(just_left->x, std::nextafter(512.0f, 0.0f) + 4.5f);
    middle->GetHit();
    EXPECT_EQ(Game().ChickenCount, 2);
}

TEST_F(Targets_, AShotTargetReturnsInTheFirstFrameAfterItsRespawnTimeAndShowsFromTheNext) {
    GameState& game = Game();
    game.ChickenLimit = 0;
    const float shot_at = 123456.75f;
    game.FrameTime = shot_at;
    const auto mushroom = TMushroom::Create(300, 200, 2);
    const auto cherry = TCherry::Create(400, 200, 2);
    const auto apple = TApple::Create(500, 200, 2);
    const auto carrot = TCarrot::Create(600, 200, 2);

    // The delays are whole seconds drawn from each kind's range, one draw per hit.
    const int32_t seed = vexel::RandomSeed();
    const int32_t mushroom_delay = vexel::RandomInt(3, 8);
    const int32_t cherry_delay = vexel::RandomInt(6, 12);
    const int32_t apple_delay = vexel::RandomInt(20, 30);
    const int32_t carrot_delay = vexel::RandomInt(20, 30);
    vexel::SeedRandom(seed);
    mushroom->GetHit();
    cherry->GetHit();
    apple->GetHit();
    carrot->GetHit();
    EXPECT_EQ(mushroom->active, 0);
    EXPECT_EQ(mushroom->respawntime, ToInt(shot_at + static_cast<float>(mushroom_delay * 1000)));
    EXPECT_EQ(cherry->respawntime, ToInt(shot_at + static_cast<float>(cherry_delay * 1000)));
    EXPECT_EQ(apple->respawntime, ToInt(shot_at + static_cast<float>(apple_delay * 1000)));
    EXPECT_EQ(carrot->respawntime, ToInt(shot_at + static_cast<float>(carrot_delay * 1000)));
    EXPECT_EQ(mushroom->respawntime, 123456 + mushroom_delay * 1000);

    // Not yet at exactly the respawn time.
    driver_->TakeCalls();
    game.FrameTime = static_cast<float>(mushroom->respawntime);
    TEnemy::DrawAll(2);
    EXPECT_EQ(mushroom->active, 0);
    // Back once the clock has passed it, but drawn only from the next frame on.
    game.FrameTime += 0.25f;
    TEnemy::DrawAll(2);
    EXPECT_EQ(mushroom->active, 1);
    EXPECT_TRUE(DrawnPixmaps().empty());
    TEnemy::DrawAll(2);
    EXPECT_EQ(DrawnPixmaps(),
              std::vector<const vexel::TPixmap*>{game.Assets.MushroomImage->pixmaps[0].get()});
    EXPECT_EQ(cherry->active, 0);
}

TEST_F(Targets_, DrawingScalesAndScrollsEachLayerAndMirrorsLeftWalkingChickens) {
    GameState& game = Game();
    game.ChickenLimit = 0;
    game.ScrollOffset = -40;
    TMushroom::Create(300, 200, 0);
    TChicken::Create(800, 100, 1);
    driver_->TakeCalls();
    TEnemy::DrawAll(0);
    TEnemy::DrawAll(1);
    // Far mushroom at 300 - 40 x 0.25 with its 40x36 picture quartered around its centre;
    // the chicken walks 3 pixels left first and is drawn mirrored.
    EXPECT_EQ(driver_->TakeCalls(),
              (std::vector<std::string>{
                  "Transform 0.25 0 0 0.25", "Frame -20 -18 20 18 290 200 0 0 40 36",
                  "Transform 1 0 0 1", "Transform -0.5 0 0 0.5",
                  "Frame -32 -24 32 24 777 100 0 0 64 48", "Transform 1 0 0 1"}));
}

TEST_F(Targets_, ChickensBeyondTheOffScreenBoundsLeaveTheirLayerStaticTargetsStay) {
    GameState& game = Game();
    game.ChickenLimit = 0;
    const float left_bound = -307.2f, right_bound = 1331.2f;
    // Chickens standing still exactly on and just past each bound.
    const auto standing = [](float x) {
        const auto chicken = std::static_pointer_cast<TChicken>(TChicken::Create(x, 100, 2));
        chicken->s = 0;
        return chicken;
    };
    const auto on_left = standing(left_bound);
    const auto past_left = standing(std::nextafter(left_bound, -1000.0f));
    const auto on_right = standing(right_bound);
    const auto past_right = standing(std::nextafter(right_bound, 2000.0f));
    // Static targets of every kind past the bounds, by position or by the scroll (the middle
    // layer moves half of it: 0 - 615 x 0.5 = -307.5).
    const auto far_left = TMushroom::Create(std::nextafter(left_bound, -1000.0f), 100, 2);
    const auto far_right = TCarrot::Create(std::nextafter(right_bound, 2000.0f), 100, 2);
    const auto scrolled_out = TApple::Create(0, 100, 1);
    const auto scrolled_cherry = TCherry::Create(1, 100, 1);
    EXPECT_EQ(game.ChickenCount, 4);
    TEnemy::DrawAll(2);
    game.ScrollOffset = -615;
    TEnemy::DrawAll(1);
    EXPECT_EQ(Targets(2), (std::vector<EnemyPtr>{on_left, on_right, far_left, far_right}));
    EXPECT_EQ(Targets(1), (std::vector<EnemyPtr>{scrolled_out, scrolled_cherry}));
    EXPECT_EQ(game.ChickenCount, 2);
    for (const auto& target : {far_left, far_right, scrolled_out, scrolled_cherry})
        EXPECT_EQ(target->active, 1);

    // A chicken walking out leaves the chicken count as well.
    game.ScrollOffset = 0;
    const auto walker = std::static_pointer_cast<TChicken>(TChicken::Create(-306, 100, 2));
    ASSERT_EQ(walker->r, 1);
    walker->r = -1;
    EXPECT_EQ(game.ChickenCount, 3);
    TEnemy::DrawAll(2);
    EXPECT_EQ(game.ChickenCount, 2);
    EXPECT_EQ(Targets(2), (std::vector<EnemyPtr>{on_left, on_right, far_left, far_right}));
}

// The three draws of a spawn, in their order.
struct Spawn {
    int32_t side, layer, y;
};
Spawn NextSpawn() {
    const int32_t side = vexel::RandomInt(0, 1);
    const int32_t layer = vexel::RandomInt(0, 2);
    const int32_t y = vexel::RandomInt(64, 409);
    return {side, layer, y};
}

TEST_F(Targets_, TheFirstFrameOfAGameTopsTheChickensUpToTheLimitOnePerTargetWalked) {
    GameState& game = Game();
    TEnemy::Generate();
    ASSERT_EQ(game.ChickenCount, 2);
    const int32_t seed = vexel::RandomSeed();
    std::vector<Spawn> spawns = {NextSpawn(), NextSpawn(), NextSpawn()};
    vexel::SeedRandom(seed);

    TEnemy::DrawAll(0);
    EXPECT_EQ(game.ChickenCount, 5);
    // After the three spawns no random number is drawn.
    const int32_t after_three = vexel::RandomSeed();
    vexel::SeedRandom(seed);
    NextSpawn();
    NextSpawn();
    NextSpawn();
    EXPECT_EQ(vexel::RandomSeed(), after_three);

    // Each spawned chicken sits at its column and height in its layer (moved once if it
    // landed in the layer being walked).
    std::vector<size_t> seen(3, 0);
    const size_t base[3] = {10, 17, 12};
    for (const Spawn& spawn : spawns) {
        const auto list = Targets(spawn.layer);
        const size_t index = base[spawn.layer] + seen[static_cast<size_t>(spawn.layer)]++;
        ASSERT_LT(index, list.size());
        const auto& chicken = static_cast<const TChicken&>(*list[index]);
        const float column = spawn.side == 0 ? -204.0f : 1228.0f;
        const float walked = spawn.layer == 0 ? static_cast<float>(chicken.r) * chicken.s : 0.0f;
        EXPECT_EQ(chicken.x, column + walked);
        EXPECT_EQ(chicken.y, static_cast<float>(spawn.y));
        EXPECT_EQ(chicken.r, spawn.side == 0 ? 1 : -1);
        EXPECT_EQ(chicken.s, 1.5f * static_cast<float>(spawn.layer + 1));
    }
}

TEST_F(Targets_, AChickenAppendedToTheLayerBeingWalkedIsMovedAndDrawnInTheSamePass) {
    GameState& game = Game();
    game.ChickenLimit = 1;
    // Find a seed whose spawn lands in the near layer, where the walk is.
    int32_t seed = 1;
    for (;; ++seed) {
        vexel::SeedRandom(seed);
        if (NextSpawn().layer == 2) break;
    }
    vexel::SeedRandom(seed);
    const Spawn spawn = NextSpawn();
    vexel::SeedRandom(seed);
    TMushroom::Create(500, 300, 2);
    driver_->TakeCalls();
    TEnemy::DrawAll(2);
    const auto list = Targets(2);
    ASSERT_EQ(list.size(), 2u);
    const float start = spawn.side == 0 ? -204.0f : 1228.0f;
    const float step = spawn.side == 0 ? 4.5f : -4.5f;
    EXPECT_EQ(list[1]->x, start + step);
    EXPECT_EQ(DrawnPixmaps(),
              (std::vector<const vexel::TPixmap*>{game.Assets.MushroomImage->pixmaps[0].get(),
                                                  game.Assets.ChickenImage->pixmaps[0].get()}));
    // An empty layer spawns nothing.
    game.ChickenLimit = 5;
    TEnemy::DrawAll(0);
    EXPECT_EQ(game.ChickenCount, 1);
}

TEST_F(Targets_, ClearEmptiesTheLayersButKeepsTheChickenCountForTheNextGame) {
    GameState& game = Game();
    TEnemy::Generate();
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer)
        TEnemy::DrawAll(layer);
    ASSERT_EQ(game.ChickenCount, 5);
    TEnemy::Clear();
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer)
        EXPECT_TRUE(Targets(layer).empty());
    EXPECT_EQ(game.ChickenCount, 5);
    TEnemy::Generate();
    EXPECT_EQ(game.ChickenCount, 7);
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer)
        TEnemy::DrawAll(layer);
    EXPECT_EQ(game.ChickenCount, 7);
    EXPECT_EQ(game.ChickenLimit, 5);
}

}  // namespace
}  // namespace morvelle::testing
