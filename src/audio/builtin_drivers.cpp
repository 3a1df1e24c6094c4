#include "audio/builtin_drivers.h"

namespace vexel {

void RegisterBuiltinAudioDrivers() {}

}  // namespace vexel
