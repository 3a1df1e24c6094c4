#include "game/play_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/gun.h"
#include "game/highscore.h"
#include "game/recipe.h"
#include "game/targets.h"
#include "play_fixture.h"
#include "system/event.h"
#include "system/polled_input.h"

namespace morvelle::testing {
namespace {

TEST(ClockText, MinutesColonTwoDigitSeconds) {
    EXPECT_EQ(FormatClock(90500), u"1:30");
    EXPECT_EQ(FormatClock(65000), u"1:05");
    EXPECT_EQ(FormatClock(600000), u"10:00");
    EXPECT_EQ(FormatClock(60000), u"1:00");
    EXPECT_EQ(FormatClock(59999), u"0:59");
    EXPECT_EQ(FormatClock(1000), u"0:01");
    EXPECT_EQ(FormatClock(999), u"0:00");
    EXPECT_EQ(FormatClock(0), u"0:00");
    EXPECT_EQ(FormatClock(-1), u"0:00");
    EXPECT_EQ(FormatClock(-90500), u"0:00");
}

class PlayScreen : public GameFixture {
  protected:
    // A running game with the pointer resting in the middle of the screen.
    void StartAt(float frame_time) {
        GameState& game = Game();
        game.FrameTime = frame_time;
        game.PointerX = 512;
        game.PointerY = 281;
        StartGame();
        driver_->TakeCalls();
    }

    // One frame of the play screen at `frame_time`.
    void Frame(float frame_time) {
        Game().FrameTime = frame_time;
        UpdatePlayScreen();
    }
};

TEST_F(PlayScreen, StartGameResetsScoreClockAndScrollButNotTheMagazine) {
    GameState& game = Game();
    game.Score = 999;
    game.ScrollOffset = 40;
    game.CurrentGun->Mag = 3;
    StartAt(12345.5f);
    EXPECT_EQ(game.Score, 0);
    EXPECT_EQ(game.GameEndTime, 102845);
    EXPECT_EQ(game.ScrollOffset, 0);
    EXPECT_EQ(
        game.TargetLayers[0].Count() + game.TargetLayers[1].Count() + game.TargetLayers[2].Count(),
        39u);
    ASSERT_NE(game.CurrentRecipe, nullptr);
    EXPECT_EQ(game.CurrentRecipe->Zutaten, game.CurrentRecipe->Source);
    EXPECT_EQ(game.CurrentGun->Mag, 3);
}

TEST_F(PlayScreen, TheClockShowsTheTimeLeftAndTheScoreBelowIt) {
    StartAt(12345.5f);
    Frame(12345.5f);
    // Texts 16 pixels high, vertically centred on 25.6 and 51.2, left edge at 20.48.
    const auto texts = TakeTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], (DrawnText{u"1:30", 20, 17}));
    EXPECT_EQ(texts[1], (DrawnText{u"0", 20, 43}));
    Frame(102845.0f - 999.5f);
    EXPECT_EQ(TakeTexts().at(0).text, u"0:00");
}

TEST_F(PlayScreen, LayersInterleaveTerrainAndTargetsUnderTheTextsGunAndCrosshair) {
    GameState& game = Game();
    game.ChickenLimit = 0;
    game.GameEndTime = 100000;
    game.CurrentRecipe = game.RecipeList.ToVector()[0];
    game.CurrentRecipe->Zutaten = game.CurrentRecipe->Source;
    TMushroom::Create(500, 300, 2);
    TCherry::Create(500, 300, 1);
    TApple::Create(500, 300, 0);
    game.PointerX = 600;
    game.PointerY = 200;
    driver_->TakeCalls();
    Frame(1000);

    // The order of the pictures drawn, each run of one picture counted once.
    const auto& terrain = game.Assets.TerrainImage->pixmaps;
    std::vector<const vexel::TPixmap*> order;
    for (const auto* pixmap : DrawnPixmaps()) {
        if (order.empty() || order.back() != pixmap) order.push_back(pixmap);
    }
    EXPECT_EQ(order, (std::vector<const vexel::TPixmap*>{
                         game.Assets.SkyImage->pixmaps[0].get(), terrain[0].get(),
                         game.Assets.AppleImage->pixmaps[0].get(), terrain[1].get(),
                         game.Assets.CherryImage->pixmaps[0].get(), terrain[2].get(),
                         game.Assets.MushroomImage->pixmaps[0].get(),
                         game.CurrentGun->img->pixmaps[0].get(),
                         game.Assets.CrosshairImage->pixmaps[2].get()}));
    const auto& crosshair = driver_->frame_draws.back();
    EXPECT_EQ(crosshair.tx, 600);
    EXPECT_EQ(crosshair.ty, 200);
    // Nothing else happens at rest: no scroll, no shot, no sound.
    EXPECT_EQ(game.ScrollOffset, 0);
    EXPECT_TRUE(TakeSounds().empty());
}

TEST_F(PlayScreen, ThePointerNearASideScrollsUntilPastTheLimit) {
    GameState& game = Game();
    StartAt(0);
    game.PointerX = 0;
    std::vector<int32_t> offsets;
    for (int frame = 0; frame < 20; ++frame) {
        Frame(static_cast<float>(frame * 16));
        offsets.push_back(game.ScrollOffset);
    }
    std::vector<int32_t> left;
    for (int32_t offset = 15; offset <= 255; offset += 15)
        left.push_back(offset);
    left.insert(left.end(), {260, 260, 260});
    EXPECT_EQ(offsets, left);

    game.ScrollOffset = 0;
    game.PointerX = 1023;
    offsets.clear();
    for (int frame = 0; frame < 20; ++frame) {
        Frame(static_cast<float>(frame * 16));
        offsets.push_back(game.ScrollOffset);
    }
    std::vector<int32_t> right;
    for (const int32_t offset : left)
        right.push_back(-offset);
    EXPECT_EQ(offsets, right);

    // The slow zones: 204 < 204.8 scrolls 5, 205 does not; 820 > 819.2 scrolls -5.
    const auto step_at = [&](int32_t x) {
        game.ScrollOffset = 0;
        game.PointerX = x;
        Frame(1000);
        return game.ScrollOffset;
    };
    EXPECT_EQ(step_at(102), 15);
    EXPECT_EQ(step_at(103), 5);
    EXPECT_EQ(step_at(204), 5);
    EXPECT_EQ(step_at(205), 0);
    EXPECT_EQ(step_at(819), 0);
    EXPECT_EQ(step_at(820), -5);
    EXPECT_EQ(step_at(921), -5);
    EXPECT_EQ(step_at(922), -15);
}

TEST_F(PlayScreen, ANearCarrotScrolledPastTheOffScreenBoundStaysAndGrowsBackAfterAShot) {
    GameState& game = Game();
    StartAt(0);
    EnemyPtr carrot;
    for (const EnemyPtr& target : game.TargetLayers[2])
        if (target->ToString() == u"Karotte" && target->x == 1075.2f) carrot = target;
    ASSERT_NE(carrot, nullptr);
    float now = 0;
    const auto frames_at = [&](int32_t pointer_x, int count) {
        game.PointerX = pointer_x;
        for (int i = 0; i < count; ++i)
            Frame(now += 16);
    };
    const auto present = [&] {
        const auto near = game.TargetLayers[2].ToVector();
        return std::find(near.begin(), near.end(), carrot) != near.end();
    };
    // Slowly to 250, then one frame in the outer tenth: 255, and 10 more past the limit. The
    // carrot stands at 1075.2 + 265 = 1340.2, beyond the bound at 1331.2.
    frames_at(150, 50);
    frames_at(0, 11);
    ASSERT_EQ(game.ScrollOffset, 265);
    EXPECT_TRUE(present());
    EXPECT_EQ(carrot->active, 1);

    // Scrolled the other way to -260 it stands at 815.2, where the pointer does not scroll:
    // shot there, it hides, and it grows back while the scroll is at 265 again.
    frames_at(1023, 40);
    ASSERT_EQ(game.ScrollOffset, -260);
    game.PointerY = 399;
    game.LeftClicks = 1;
    frames_at(815, 1);
    game.LeftClicks = 0;
    EXPECT_EQ(carrot->active, 0);
    frames_at(150, 102);
    frames_at(0, 1);
    ASSERT_EQ(game.ScrollOffset, 265);
    now = static_cast<float>(carrot->respawntime);
    frames_at(0, 1);
    EXPECT_TRUE(present());
    EXPECT_EQ(carrot->active, 1);
}

TEST_F(PlayScreen, AReloadCountedWithAClickComesFirstAndOneShotIsTaken) {
    GameState& game = Game();
    StartAt(0);
    game.CurrentGun->Mag = 0;
    game.LeftClicks = 2;
    game.RightClicks = 1;
    Frame(16);
    EXPECT_EQ(TakeSounds(), (std::vector<std::string>{"reload", "shot"}));
    EXPECT_EQ(game.CurrentGun->Mag, 7);
}

TEST_F(PlayScreen, HoldingTheSpaceBarAddsFivePointsPerFrame) {
    GameState& game = Game();
    StartAt(0);
    vexel::TEvent::Create(vexel::EVENT_KEYDOWN, nullptr, 32)->Emit();
    Frame(16);
    Frame(32);
    EXPECT_EQ(game.Score, 10);
    vexel::TEvent::Create(vexel::EVENT_KEYUP, nullptr, 32)->Emit();
    Frame(48);
    EXPECT_EQ(game.Score, 10);
}

TEST_F(PlayScreen, TheGameOverFrameDrawsNothingFlushesInputAndClearsTheTargets) {
    GameState& game = Game();
    StartAt(1000.25f);
    ASSERT_EQ(game.GameEndTime, 91500);
    Frame(91499.75f);
    EXPECT_EQ(game.ScreenState, SCREEN_TITLE);
    driver_->TakeCalls();
    TakeTexts();
    Type('x');
    Tap(13);
    Frame(91500);
    EXPECT_EQ(game.ScreenState, SCREEN_NAME_ENTRY);
    EXPECT_TRUE(driver_->TakeCalls().empty());
    EXPECT_TRUE(TakeTexts().empty());
    EXPECT_EQ(vexel::NextTypedChar(), 0);
    EXPECT_EQ(vexel::KeyWasHit(13), 0);
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer)
        EXPECT_EQ(game.TargetLayers[layer].Count(), 0u);
    // The chickens still alive count against the next game's limit.
    EXPECT_EQ(game.ChickenCount, 5);
    StartAt(100000);
    EXPECT_EQ(game.ChickenCount, 7);
}

}  // namespace
}  // namespace morvelle::testing
