#pragma once

// The start of a game and the frame handlers of the play, name-entry and notice screens.

#include <cstdint>

#include "game/game_state.h"

namespace morvelle {

// Resets the score, the clock and the scroll, places the targets and picks a recipe.
void StartGame();

void UpdatePlayScreen();
void UpdateNameEntry();
void UpdateNoticeScreen();

// The clock text of `ms` milliseconds: minutes, ":" and two-digit seconds ("1:30").
String FormatClock(int32_t ms);

}  // namespace morvelle
