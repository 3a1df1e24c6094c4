#pragma once

// Functions that only tests call, to give each test the module's start-up state. The
// framework and the game never call them.

namespace vexel {

// Restores the image settings to their start values, for tests.
void ResetImageSettingsForTesting();

}  // namespace vexel
