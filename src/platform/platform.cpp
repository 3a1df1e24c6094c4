#include "platform/platform.h"

#include "platform/x11/x11_platform.h"

namespace vexel {

Platform& CurrentPlatform() {
    // Never destroyed: exit handlers and ticker threads may still reach it while the
    // process ends.
    static Platform* const platform = OpenX11Platform().release();
    return *platform;
}

}  // namespace vexel
