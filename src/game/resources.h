#pragma once

// The pictures, sounds and font the game loads at start-up.

#include <string>

#include "runtime/string.h"

namespace morvelle {

// The system font every text is drawn in, and the Debian package that ships it.
inline constexpr char16_t kFontPath[] = u"/usr/share/fonts/truetype/freefont/FreeSans.ttf";

// Loads every picture (in the order of the game's resource table, the cursor's handle moved
// to its top-left corner, then the 1×1 white point), the font (not yet made current: that
// needs the window's drawing context) and the six
// sounds into the game state. Images are centred on their middle, so SetAutoMidHandle must
// be on. Returns the path of the first file that could not be loaded, or the empty string
// when everything loaded.
vexel::String LoadResources();

// The one-line message for a file that could not be loaded: which file, and what to install
// or rebuild to get it.
std::string MissingResourceMessage(const vexel::String& path);

}  // namespace morvelle
