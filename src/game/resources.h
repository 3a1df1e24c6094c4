#pragma once

// The pictures, sounds and font the game loads at start-up.

#include <string>

#include "game/game_state.h"
#include "runtime/string.h"

namespace morvelle {

// The system font every text is drawn in, and the Debian package that ships it.
inline constexpr char16_t FONT_PATH[] = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";

// What LoadResources gives: every asset it could load, and the path of the first file that
// could not be loaded (empty when everything loaded).
struct LoadedAssets {
    GameAssets assets;
    vexel::String missing;
};

// Loads every picture, the font and the six sounds, in the order of GameAssets' fields (the
// cursor's handle moved to its tip, then the 1×1 white point made between the crosshair and
// the targets). The order is fixed so that, when several files are missing, `missing` always
// names the same one: the first the player has to put back. The font is not made current:
// that needs the window's drawing context. Images are centred on their middle, so
// SetAutoMidHandle must be on. Touches no game state.
LoadedAssets LoadResources();

// The one-line message for a file that could not be loaded: which file, and what to install
// or rebuild to get it.
std::string MissingResourceMessage(const vexel::String& path);

// The one-line message for a game that found no sound output and plays in silence: what the
// mixer tried and why each failed.
std::string NoSoundMessage();

}  // namespace morvelle
