#include "game/highscore_screen.h"

#include "game/buttons.h"
#include "game/highscore.h"
#include "game/landscape.h"

namespace morvelle {

void UpdateHighscoreScreen() {
    DrawScenery();
    THighscore::Draw();
    DrawBackButton();
    DrawCursor();
}

}  // namespace morvelle
