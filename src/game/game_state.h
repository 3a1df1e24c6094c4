#pragma once

// The game's shared state: one record holding every global the screens, targets, gun and
// recipes share, with the pictures, sounds and font loaded at start-up as its sub-record
// Assets, and the numeric helpers all of them use. The record is owned by the program; the game's
// units reach it through Game(). Main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_driver.h"
#include "game/screen.h"
#include "graphics/image.h"
#include "graphics/image_font.h"
#include "runtime/ordered_list.h"
#include "runtime/string.h"
#include "system/timer.h"

namespace morvelle {

using vexel::String;

class TEnemy;
class TGun;
class THighscore;
class TRecipe;

using EnemyPtr = std::shared_ptr<TEnemy>;
using GunPtr = std::shared_ptr<TGun>;
using HighscorePtr = std::shared_ptr<THighscore>;
using RecipePtr = std::shared_ptr<TRecipe>;

inline constexpr int32_t LAYER_COUNT = 3;

// Every float-to-integer conversion of the game truncates toward zero.
constexpr int32_t ToInt(float value) {
    return static_cast<int32_t>(value);
}

// The pictures, sounds and font the game loads at start-up. Pictures have their handle at
// their centre, all but the cursor, whose handle is its tip at the top-left corner.
struct GameAssets {
    vexel::ImagePtr TitleImage;
    vexel::ImagePtr MenuButtonsImage;
    vexel::ImagePtr SoundButtonImage;
    // Drawn over the sound switch while the sound is off.
    vexel::ImagePtr SoundMutedImage;
    vexel::ImagePtr SkyImage;
    vexel::ImagePtr TerrainImage;
    vexel::ImagePtr CursorImage;
    vexel::ImagePtr LogoImage;
    vexel::ImagePtr CrosshairImage;
    vexel::ImagePtr PointImage;
    vexel::ImagePtr MushroomImage;
    vexel::ImagePtr CherryImage;
    vexel::ImagePtr AppleImage;
    vexel::ImagePtr CarrotImage;
    vexel::ImagePtr ChickenImage;
    // Every text is drawn in it; made current once the window's drawing context exists.
    vexel::ImageFontPtr Font;

    vexel::SoundPtr HighscoreSound;
    vexel::SoundPtr ClickSound;
    vexel::SoundPtr EmptySound;
    vexel::SoundPtr ShotSound;
    vexel::SoundPtr ReloadSound;
    vexel::SoundPtr FarewellSound;
};

struct GameState {
    int32_t ScreenWidth = 1024;
    int32_t ScreenHeight = 512;

    // Input sampled at the start of each frame.
    int32_t PointerX = 0;
    int32_t PointerY = 0;
    int32_t LeftClicks = 0;
    int32_t RightClicks = 0;
    // Milliseconds of the game clock at the start of the frame, in single precision.
    float FrameTime = 0;
    // ElapsedMillis() when the game started; the game clock counts from here, so that it
    // keeps millisecond steps however long the machine has been up.
    int32_t ClockBase = 0;

    Screen ScreenState = SCREEN_TITLE;
    int32_t SoundOn = 1;
    int32_t Score = 0;
    int32_t GameEndTime = 0;
    String PlayerName;
    int32_t ScrollOffset = 0;
    // Scale and parallax factor per layer: far, middle, near.
    std::array<float, LAYER_COUNT> LayerScale{};

    std::vector<GunPtr> GunList;
    GunPtr CurrentGun;
    vexel::TList<HighscorePtr> HighscoreList;
    HighscorePtr LastHighscore;
    std::array<vexel::TList<EnemyPtr>, LAYER_COUNT> TargetLayers;
    vexel::TList<RecipePtr> RecipeList;
    RecipePtr CurrentRecipe;
    int32_t ChickenCount = 0;
    int32_t ChickenLimit = 5;
    vexel::TimerPtr FrameTimer;
    // Where Options and High.Score are kept: "Data", or a per-user folder when "Data" cannot
    // be written (an installed game).
    String SaveFolder = u"Data";
    // The saved files ("Data/<name>") that exist but could not be read this run: they are
    // left as they are at exit.
    std::vector<String> UnreadableFiles;

    // The pictures, sounds and font, loaded once at start-up.
    GameAssets Assets;
};

// The program's game state.
GameState& Game();

// The only writers of the score. ResetScore starts a game at 0; AddScore adds whole points
// (the space bar, a finished soup); AddWeightedScore adds a hit's `points` times the layer's
// `weight`, summed with the score in single precision and truncated.
// @{
void ResetScore();
void AddScore(int32_t points);
void AddWeightedScore(float weight, int32_t points);
// @}

// Replaces the game state with a fresh record holding the initial values; for tests, which
// start each case from a clean state.
void ResetGameState();

}  // namespace morvelle
