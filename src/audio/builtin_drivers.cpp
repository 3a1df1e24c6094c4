#include "audio/builtin_drivers.h"

#include "audio/mixer/sonmix_driver.h"

namespace vexel {

void RegisterBuiltinAudioDrivers() {
    RegisterSonmixDrivers();
}

}  // namespace vexel
