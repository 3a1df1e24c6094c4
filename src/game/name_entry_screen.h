#pragma once

// The name entry after a game: the player types a name of up to 16 characters over the
// landscape, and Enter files the score under it in the high-score table.

namespace morvelle {

// The entry step of SCREEN_NAME_ENTRY: drops the characters typed before it.
void EnterNameEntry();

// The frame handler of SCREEN_NAME_ENTRY: one typed character per frame, Backspace removes
// the last, Enter files the score and shows the table.
void UpdateNameEntry();

}  // namespace morvelle
