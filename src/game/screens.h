#pragma once

// The game's screens: the screen states and the frame handler of each. A new screen is one
// value here and one row in ScreenHandler; a state without a row is a compiler warning.

#include <cstdint>

#include "game/highscore_screen.h"
#include "game/name_entry_screen.h"
#include "game/notice_screen.h"
#include "game/play_screen.h"
#include "game/title_screen.h"

namespace morvelle {

// The screen states, as ScreenState holds them.
enum Screen : int32_t {
    SCREEN_TITLE = 0,
    SCREEN_PLAY = 1,
    SCREEN_NAME_ENTRY = 2,
    SCREEN_HIGHSCORES = 3,
    SCREEN_NOTICE = 4,
};

// The frame handler of `screen`; null for a value that names no screen.
constexpr void (*ScreenHandler(Screen screen))() {
    switch (screen) {
        case SCREEN_TITLE:
            return UpdateTitleScreen;
        case SCREEN_PLAY:
            return UpdatePlayScreen;
        case SCREEN_NAME_ENTRY:
            return UpdateNameEntry;
        case SCREEN_HIGHSCORES:
            return UpdateHighscoreScreen;
        case SCREEN_NOTICE:
            return UpdateNoticeScreen;
    }
    return nullptr;
}

}  // namespace morvelle
