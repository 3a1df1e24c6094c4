#pragma once

// The play screen: a game of 90.5 seconds plus what soups win, scrolled by the pointer near
// the sides, with the targets between the terrain layers, the clock, the score, the recipe
// panel, the magazine and the crosshair.

#include <cstdint>

#include "runtime/string.h"

namespace morvelle {

// Resets the score, the clock and the scroll, places the targets and picks a recipe.
void StartGame();

// The frame handler of SCREEN_PLAY. The frame in which the clock runs out draws nothing:
// it clears the targets and the typed input and goes on to the name entry.
void UpdatePlayScreen();

// The clock text of `ms` milliseconds: minutes, ":" and two-digit seconds ("1:30").
vexel::String FormatClock(int32_t ms);

}  // namespace morvelle
