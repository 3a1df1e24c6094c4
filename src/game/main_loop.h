#pragma once

// The game's entry point: start-up, the frame loop and the exit handlers.

namespace morvelle {

// Runs the game until the player quits; ends the process through the exit handlers.
[[noreturn]] void RunGame(int argc, char** argv);

}  // namespace morvelle
