#include "audio/builtin_drivers.h"

#include "audio/mixer/sonmix_driver.h"
#include "audio/openal_driver.h"
#include "audio/openal_library.h"

namespace vexel {

void RegisterBuiltinAudioDrivers() {
    RegisterOpenALDriver(kOpenALLibraryNames);
    RegisterSonmixDrivers();
}

}  // namespace vexel
