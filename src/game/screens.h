#pragma once

// The code of each screen: its entry step and its frame handler. A new screen is one value
// in screen.h and one row in each function here; a state without a row is a compiler
// warning. Only the main loop includes this header: the screens change screen through GoTo.

#include "game/highscore_screen.h"
#include "game/name_entry_screen.h"
#include "game/notice_screen.h"
#include "game/play_screen.h"
#include "game/screen.h"
#include "game/title_screen.h"

namespace morvelle {

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

// What runs once as `screen` becomes current; null for a screen that needs nothing.
constexpr void (*ScreenEntry(Screen screen))() {
    switch (screen) {
        case SCREEN_PLAY:
            return StartGame;
        case SCREEN_NAME_ENTRY:
            return EnterNameEntry;
        case SCREEN_TITLE:
        case SCREEN_HIGHSCORES:
        case SCREEN_NOTICE:
            return nullptr;
    }
    return nullptr;
}

}  // namespace morvelle
