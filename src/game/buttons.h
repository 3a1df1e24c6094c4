#pragma once

// What the menu screens share: image buttons, the "Zurück" button, the sound toggle's label
// and the menu pointer.

#include <cstdint>

#include "game/game_state.h"

namespace morvelle {

// PointInRect for the pointer position of this frame.
bool MouseInRect(int32_t x, int32_t y, int32_t w, int32_t h);

// Draws frame `frame` of `image` centred on (x, y), or frame + 1 while the pointer is over
// it. A click on it plays the click sound and returns true.
bool DrawButton(vexel::TImage& image, int32_t frame, int32_t x, int32_t y);

// The "Zurück" button below the high-score table and the notice: a click returns to the
// title screen.
void DrawBackButton();

// The sound toggle's label: "An" for on, "Aus" for off.
String SoundLabel(int32_t flag);

// The menu pointer at the pointer's position.
void DrawCursor();

}  // namespace morvelle
