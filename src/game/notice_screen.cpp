#include "game/notice_screen.h"

#include "game/buttons.h"
#include "game/game_state.h"
#include "game/landscape.h"
#include "game/text_and_sound.h"

namespace morvelle {

void UpdateNoticeScreen() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    DrawScenery();
    DrawTextAligned(u"Diese Funktionalität ist aus Kostengründen entfallen!", width * 0.5f,
                    height * 0.5f, 0.5f, 0.5f);
    DrawBackButton();
    DrawCursor();
}

}  // namespace morvelle
