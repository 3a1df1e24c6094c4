#pragma once

// The game's screens by name, and the one way to change between them. The screens and the
// state name a screen through this header; which code runs for each is the main loop's
// business (screens.h).

#include <cstdint>

namespace morvelle {

// The screen states, as GameState::ScreenState holds them.
enum Screen : int32_t {
    SCREEN_TITLE = 0,
    SCREEN_PLAY = 1,
    SCREEN_NAME_ENTRY = 2,
    SCREEN_HIGHSCORES = 3,
    SCREEN_NOTICE = 4,
};

// Makes `next` the current screen and runs its entry step (a new game for SCREEN_PLAY, an
// empty typed-input queue for SCREEN_NAME_ENTRY). The screen shown now finishes its frame;
// `next` draws from the following one.
void GoTo(Screen next);

}  // namespace morvelle
