#pragma once

// The game's entry point: start-up, the frame loop and the exit handlers.

#include <cstdint>

#include "game/screen.h"

namespace morvelle {

// Runs the game until the player quits; ends the process through the exit handlers.
[[noreturn]] void RunGame(int argc, char** argv);

// Builds the game state, loads the resources, opens the window and registers the exit
// handlers. A file that cannot be loaded, or no X display, ends the process with status 1
// and a one-line message before any window opens.
void StartUp();

// One frame: DrawFrame, then wait for the next tick, and end the program on Escape, a
// close request or a termination signal.
void RunFrame();

// The drawn part of a frame: clear, sample the clock and the mouse, run the current
// screen's handler, present.
void DrawFrame();

// The frame handler of `screen_state`; a state without a screen does nothing.
void RunScreenHandler(Screen screen_state);

// The first exit handler: with sound on, waits half a second, plays the farewell sound and
// lets it play out for 1.8 seconds; with sound off, or no sound output, it returns at once.
void PlayFarewell();

}  // namespace morvelle
