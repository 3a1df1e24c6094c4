#include "game/play_screen.h"

#include "game/game_state.h"
#include "game/gun.h"
#include "game/landscape.h"
#include "game/recipe.h"
#include "game/screen.h"
#include "game/targets.h"
#include "game/text_and_sound.h"
#include "graphics/vex2d.h"
#include "system/polled_input.h"

namespace morvelle {
namespace {

constexpr float GAME_LENGTH_MS = 90500;
constexpr int32_t SCROLL_LIMIT = 256;
constexpr int32_t SPACE_BAR_BONUS = 5;

// Moves the landscape while the pointer is near a side: 5 pixels per frame in the outer
// fifth, 10 more in the outer tenth. Each step is tested before it is taken, so the offset
// may end a few pixels past the limit.
void Scroll(GameState& game) {
    const float width = static_cast<float>(game.ScreenWidth);
    const float pointer = static_cast<float>(game.PointerX);
    if (pointer < width * 0.2f && game.ScrollOffset < SCROLL_LIMIT) game.ScrollOffset += 5;
    if (pointer < width * 0.1f && game.ScrollOffset < SCROLL_LIMIT) game.ScrollOffset += 10;
    if (pointer > width * 0.8f && game.ScrollOffset > -SCROLL_LIMIT) game.ScrollOffset -= 5;
    if (pointer > width * 0.9f && game.ScrollOffset > -SCROLL_LIMIT) game.ScrollOffset -= 10;
}

}  // namespace

void StartGame() {
    GameState& game = Game();
    ResetScore();
    game.GameEndTime = ToInt(game.FrameTime + GAME_LENGTH_MS);
    game.ScrollOffset = 0;
    TEnemy::Generate();
    TRecipe::Random();
}

String FormatClock(int32_t ms) {
    String text;
    if (ms >= 60000) {
        text = vexel::IntToString(ms / 60000);
        ms %= 60000;
    } else {
        text = u"0";
    }
    text += u':';
    if (ms >= 1000) {
        const int32_t seconds = ms / 1000;
        if (seconds < 10) text += u'0';
        text += vexel::IntToString(seconds);
    } else {
        text += u"00";
    }
    return text;
}

void UpdatePlayScreen() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    const float time_left = static_cast<float>(game.GameEndTime) - game.FrameTime;
    if (!(time_left > 0)) {
        TEnemy::Clear();
        GoTo(SCREEN_NAME_ENTRY);
        return;
    }

    Scroll(game);
    // Each terrain layer covers the targets of the layers behind it.
    DrawScenery(TEnemy::DrawAll);

    // Clock and score in the colour the gun left: white.
    DrawTextAligned(FormatClock(ToInt(time_left)), width * 0.02f, height * 0.05f, 0, 0.5f);
    DrawTextAligned(vexel::IntToString(game.Score), width * 0.02f, height * 0.1f, 0, 0.5f);
    game.CurrentRecipe->Draw();

    // A reload counted in the same frame as a click comes first; one shot per frame at most.
    if (game.RightClicks != 0) game.CurrentGun->Reload();
    if (game.LeftClicks != 0) game.CurrentGun->Fire(game.PointerX, game.PointerY);
    if (vexel::KeyIsDown(vexel::KEY_SPACE) != 0) AddScore(SPACE_BAR_BONUS);

    game.CurrentGun->Draw();
    vexel::DrawImageFrame(*game.Assets.CrosshairImage, static_cast<float>(game.PointerX),
                          static_cast<float>(game.PointerY), 2);
}

}  // namespace morvelle
