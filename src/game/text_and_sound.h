#pragma once

// The two helpers every part of the game draws text and plays sounds through: text aligned
// on a point, and sound effects that respect the sound switch.

#include "audio/audio_driver.h"
#include "runtime/string.h"

namespace morvelle {

// Every text of the game is drawn on a black outline this wide (in the font's pixels), which
// keeps it readable wherever it lies over the landscape.
inline constexpr float TEXT_OUTLINE_WIDTH = 1.5f;

// Draws `text` so that the point (x, y) lies at the fractions (align_x, align_y) of its
// scaled width and height: 0 puts the left (top) edge there, 0.5 the centre, 1 the right
// (bottom) edge.
void DrawTextAligned(const vexel::String& text, float x, float y, float align_x, float align_y);

// Plays `sound` on a fresh channel at volume 0.75 while sound is on, from its first sample;
// silent otherwise, and when no channel can be had.
void PlayEffect(const vexel::SoundPtr& sound);

}  // namespace morvelle
