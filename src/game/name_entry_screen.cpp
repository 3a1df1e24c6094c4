#include "game/name_entry_screen.h"

#include <cstddef>

#include "game/game_state.h"
#include "game/highscore.h"
#include "game/landscape.h"
#include "game/screen.h"
#include "game/text_and_sound.h"
#include "system/polled_input.h"

namespace morvelle {
namespace {

constexpr size_t NAME_LENGTH_LIMIT = 16;
constexpr const char16_t* SCORE_LABEL = u"Punkte: ";
constexpr const char16_t* NAME_PROMPT = u"Dein Name:";
constexpr const char16_t* ENTER_HINT = u"Enter trägt ihn in die Bestenliste ein";

}  // namespace

void EnterNameEntry() {
    // Keys typed while playing must not end up in the name.
    vexel::FlushInput();
}

void UpdateNameEntry() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    DrawScenery();
    DrawTextAligned(u">" + game.PlayerName + u"<", width * 0.5f, height * 0.5f, 0.5f, 0.5f);
    // What the screen is for and what the game was worth above the name, what Enter does
    // below it.
    DrawTextAligned(SCORE_LABEL + vexel::IntToString(game.Score), width * 0.5f, height * 0.3f, 0.5f,
                    0.5f);
    DrawTextAligned(NAME_PROMPT, width * 0.5f, height * 0.4f, 0.5f, 0.5f);
    DrawTextAligned(ENTER_HINT, width * 0.5f, height * 0.62f, 0.5f, 0.5f);

    // One typed character per frame; control codes and characters past the limit are lost.
    // Codes up to 255 are Latin-1 and so the same code points in the name.
    const int32_t code = vexel::NextTypedChar();
    if (code > 31 && game.PlayerName.size() < NAME_LENGTH_LIMIT) {
        game.PlayerName += static_cast<char16_t>(code);
    }
    if (vexel::KeyWasHit(vexel::KEY_BACKSPACE) != 0 && !game.PlayerName.empty()) {
        game.PlayerName.pop_back();
    }
    if (vexel::KeyWasHit(vexel::KEY_ENTER) != 0) {
        THighscore::Add(game.PlayerName, game.Score);
        PlayEffect(game.Assets.HighscoreSound);
        GoTo(SCREEN_HIGHSCORES);
    }
}

}  // namespace morvelle
