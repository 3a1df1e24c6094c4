#pragma once

// The title screen: the game's menu of four buttons (play, high scores, notice, quit), the
// sound toggle and the game's own cursor over the landscape.

namespace morvelle {

// The frame handler of SCREEN_TITLE. Every button is drawn and tested each frame, also
// after an earlier one was clicked in the same frame.
void UpdateTitleScreen();

}  // namespace morvelle
