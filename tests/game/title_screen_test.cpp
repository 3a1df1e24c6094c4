// The title screen drawn into the recording driver, with the pointer and the clicks of the
// frame set directly.
#include "game/title_screen.h"

#include <gtest/gtest.h>

#include "game/buttons.h"
#include "game/landscape.h"
#include "game_test_support.h"

namespace morvelle::testing {
namespace {

using TitleScreen = GameTest;

TEST_F(TitleScreen, TitleScreenDrawsItsMenuAtTheLayoutPositions) {
    Pointer(0, 0);
    UpdateTitleScreen();
    EXPECT_EQ(WithoutSky(TakeFrames()), (std::vector<DrawnFrame>{
                                            {"Terrain", 0, 512, 256},
                                            {"Terrain", 1, 512, 256},
                                            {"Terrain", 2, 512, 256},
                                            {"Title", 0, 512, 51.2f},
                                            {"vexel", 0, 96, 480},
                                            {"MenuButtons", 0, 512, 128},
                                            {"MenuButtons", 2, 512, 230},
                                            {"MenuButtons", 4, 512, 332},
                                            {"MenuButtons", 6, 512, 435},
                                            {"SndButton", 0, 960, 448},
                                            {"glyph", 0, 952, 488},  // "An" centred on (960, 496)
                                            {"glyph", 0, 960, 488},
                                            {"cur", 0, 0, 0},
                                        }));
    EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
}

TEST_F(TitleScreen, ButtonBordersNeitherHoverNorClick) {
    // The play button covers 384..640 × 96..160; its border pixels are outside.
    const std::pair<int32_t, int32_t> borders[] = {{384, 128}, {640, 128}, {512, 96}, {512, 160}};
    for (const auto& [x, y] : borders) {
        Pointer(x, y, 1);
        UpdateTitleScreen();
        const auto frames = WithoutSky(TakeFrames());
        EXPECT_EQ(frames[5], (DrawnFrame{"MenuButtons", 0, 512, 128})) << x << ',' << y;
        EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
    }
    EXPECT_EQ(Sound(Game().Assets.ClickSound).starts, 0);

    // One pixel inside each corner it is hovered, and drawn with frame n + 1.
    const std::pair<int32_t, int32_t> inside[] = {{385, 97}, {639, 159}};
    for (const auto& [x, y] : inside) {
        Pointer(x, y, 0);
        UpdateTitleScreen();
        EXPECT_EQ(WithoutSky(TakeFrames())[5], (DrawnFrame{"MenuButtons", 1, 512, 128}));
    }
    EXPECT_TRUE(PointInRect(385, 97, 384, 96, 256, 64));
    EXPECT_FALSE(PointInRect(384, 97, 384, 96, 256, 64));
}

TEST_F(TitleScreen, ClickOnPlayStartsTheGameAndStillFinishesTheFrame) {
    Pointer(512, 128, 1);
    UpdateTitleScreen();
    EXPECT_EQ(Game().ScreenState, SCREEN_PLAY);
    auto frames = WithoutSky(TakeFrames());
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[5], (DrawnFrame{"MenuButtons", 1, 512, 128}));
    EXPECT_EQ(frames[6], (DrawnFrame{"MenuButtons", 2, 512, 230}));
    EXPECT_EQ(frames[7], (DrawnFrame{"MenuButtons", 4, 512, 332}));
    EXPECT_EQ(frames[8], (DrawnFrame{"MenuButtons", 6, 512, 435}));
    EXPECT_EQ(frames[12], (DrawnFrame{"cur", 0, 512, 128}));
    EXPECT_EQ(Sound(Game().Assets.ClickSound).starts, 1);
    EXPECT_EQ(Sound(Game().Assets.ClickSound).sounding_volume, 0.75f);
}

TEST_F(TitleScreen, SoundToggleClicksWhenSwitchingOffAndIsSilentSwitchingOn) {
    GameState& game = Game();
    Pointer(960, 448, 1);
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 0);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 1);
    auto frames = WithoutSky(TakeFrames());
    // Off, the muted speaker lies over the switch's frame, which stays the same strip cell.
    EXPECT_EQ(frames[9], (DrawnFrame{"SndButton", 1, 960, 448}));
    EXPECT_EQ(frames[10], (DrawnFrame{"SndMuted", 0, 960, 448}));
    EXPECT_EQ(frames[11], (DrawnFrame{"glyph", 0, 948, 488}));  // "Aus"

    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 1);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 1);
    frames = WithoutSky(TakeFrames());
    EXPECT_EQ(frames[9], (DrawnFrame{"SndButton", 1, 960, 448}));
    EXPECT_EQ(frames[10], (DrawnFrame{"glyph", 0, 952, 488}));  // "An"

    // Any non-zero value is "on"; the toggle flips only bit 0.
    game.SoundOn = 2;
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 3);
    EXPECT_EQ(SoundLabel(game.SoundOn), u"An");
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 2);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 3);
}

}  // namespace
}  // namespace morvelle::testing
