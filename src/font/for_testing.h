#pragma once

// Functions that only tests call, to give each test the module's start-up state. The
// framework and the game never call them.

namespace vexel {

// Puts the loader list back to its start: the FreeType loader alone.
void ResetFontLoadersForTesting();

}  // namespace vexel
