#pragma once

// Helpers every screen uses: aligned text, sound effects that respect the sound switch, and
// the landscape backdrop.

#include "audio/audio_driver.h"
#include "game/game_state.h"

namespace morvelle {

// Draws `text` so that the point (x, y) lies at the fractions (align_x, align_y) of its
// scaled width and height: 0 puts the left (top) edge there, 0.5 the centre, 1 the right
// (bottom) edge.
void DrawTextAligned(const String& text, float x, float y, float align_x, float align_y);

// Starts `sound` on a fresh channel at volume 0.75 while sound is on; silent otherwise, and
// when no channel can be had.
void PlayEffect(const vexel::SoundPtr& sound);

// How far `layer` is scrolled: the scroll offset times the layer's parallax factor.
float LayerShift(int32_t layer);
// Where the centre of `layer`'s terrain is drawn.
float TerrainX(int32_t layer);

// The sky tiled over the screen and the three terrain layers at the current scroll offset;
// `after_layer`, when given, runs after each terrain layer is drawn (the play screen draws
// that layer's targets there, so nearer terrain covers them).
void DrawScenery(void (*after_layer)(int32_t layer) = nullptr);

// The menu pointer at the pointer's position.
void DrawCursor();

}  // namespace morvelle
