#include "audio/internal/builtin_drivers.h"

#include "audio/internal/openal_library.h"
#include "audio/mixer/sonmix_driver.h"
#include "audio/openal_driver.h"

namespace vexel {

void RegisterBuiltinAudioDrivers() {
    RegisterOpenALDriver(kOpenALLibraryNames);
    RegisterSonmixDrivers();
}

}  // namespace vexel
