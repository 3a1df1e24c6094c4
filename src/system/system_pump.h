#pragma once

namespace vexel {

// Handles every pending system event without waiting (the X11 driver's event pump).
void PumpSystem();
// Waits until the system has something to handle, then handles it.
void AwaitSystem();

}  // namespace vexel
