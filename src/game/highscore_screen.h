#pragma once

// The high-score screen: the first ten rows of the table over the landscape, the newest
// entry on a green bar, and the back button. (The table and its file are THighscore's.)

namespace morvelle {

// The frame handler of SCREEN_HIGHSCORES: the table and a back button.
void UpdateHighscoreScreen();

}  // namespace morvelle
