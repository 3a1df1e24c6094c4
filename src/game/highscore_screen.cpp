#include "game/highscore_screen.h"

#include "game/buttons.h"
#include "game/game_state.h"
#include "game/highscore.h"
#include "game/landscape.h"
#include "game/text_and_sound.h"
#include "graphics/vex2d.h"

namespace morvelle {

void THighscore::Draw() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    int32_t rank = 0;
    for (const HighscorePtr& entry : game.HighscoreList) {
        if (++rank > SHOWN_ENTRIES) break;
        const int32_t y = ToInt(height * 0.025f + height * 0.07f * static_cast<float>(rank));
        const float row = static_cast<float>(y);
        if (entry == game.LastHighscore) {
            vexel::SetDrawColor(64, 200, 64);
            vexel::DrawRectangle(width * 0.2f, row - 16, width * 0.6f, 32);
        }
        // White on its outline, like every text of the game, also on the green bar.
        vexel::SetDrawColor(255, 255, 255);
        DrawTextAligned(vexel::IntToString(rank) + u".", width * 0.25f, row, 1, 0.5f);
        DrawTextAligned(entry->Name, width * 0.5f, row, 0.5f, 0.5f);
        DrawTextAligned(vexel::IntToString(entry->Points), width * 0.77f, row, 1, 0.5f);
    }
    vexel::SetDrawColor(255, 255, 255);
}

void UpdateHighscoreScreen() {
    DrawScenery();
    THighscore::Draw();
    DrawBackButton();
    DrawCursor();
}

}  // namespace morvelle
