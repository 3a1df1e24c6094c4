#pragma once

// The landscape every screen and object stands in: how far each layer is scrolled, where
// its terrain lies, the backdrop of sky and terrain, and the strict rectangle test shots and
// buttons share. The bottom of the game: it uses only the game state.

#include <cstdint>

#include "game/game_state.h"

namespace morvelle {

// How far `layer` is scrolled: the scroll offset times the layer's parallax factor.
float LayerShift(int32_t layer);
// Where the centre of `layer`'s terrain is drawn.
float TerrainX(int32_t layer);

// The sky tiled over the screen and the three terrain layers at the current scroll offset;
// `after_layer`, when given, runs after each terrain layer is drawn (the play screen draws
// that layer's targets there, so nearer terrain covers them).
void DrawScenery(void (*after_layer)(int32_t layer) = nullptr);

// True when the point lies strictly inside the rectangle: its border pixels do not count.
bool PointInRect(int32_t px, int32_t py, int32_t x, int32_t y, int32_t w, int32_t h);

}  // namespace morvelle
