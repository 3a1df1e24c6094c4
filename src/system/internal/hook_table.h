#pragma once

namespace vexel {

// Internal to the event module: raw id allocation without the emit-event bootstrap, and a
// reset of every hook list and the id counter.
int AllocateHookId();
void ResetHookTable();

}  // namespace vexel
