#include "system/system_pump.h"

#include <thread>

namespace vexel {

// Without a windowing system there is nothing to pump; waiting yields the processor so that
// a loop around AwaitSystem does not spin. The X11 system driver replaces these.
void PumpSystem() {}
void AwaitSystem() {
    std::this_thread::yield();
}

}  // namespace vexel
