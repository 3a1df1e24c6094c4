#pragma once

// Functions that only tests call, to give each test the module's start-up state. The
// framework and the game never call them.

namespace vexel {

// Puts hooks, hook ids, descriptions and the event queue back to how the program starts.
void ResetEventModuleForTesting();

}  // namespace vexel
