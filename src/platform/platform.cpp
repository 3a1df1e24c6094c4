#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/wayland/wayland_platform.h"
#include "platform/x11/x11_platform.h"

namespace vexel {

namespace {

[[noreturn]] void Unavailable(const char* message) {
    std::fprintf(stderr, "%s\n", message);
    std::exit(1);
}

// Wayland when a compositor answers, X11 otherwise; VEXEL_PLATFORM names one instead, and a
// named platform that is not there ends the program with one line saying so.
std::unique_ptr<Platform> ChoosePlatform() {
    const char* asked = std::getenv("VEXEL_PLATFORM");
    const std::string_view name = asked ? asked : "";
    if (name == "x11") {
        if (!X11ServerAnswers()) Unavailable("VEXEL_PLATFORM=x11: no X server answers on DISPLAY");
        return OpenX11Platform();
    }
    if (name == "wayland") {
        std::unique_ptr<Platform> wayland = OpenWaylandPlatform();
        if (!wayland) {
            Unavailable("VEXEL_PLATFORM=wayland: no Wayland compositor answers on WAYLAND_DISPLAY");
        }
        return wayland;
    }
    if (!name.empty()) Unavailable("VEXEL_PLATFORM must be x11 or wayland");
    if (std::unique_ptr<Platform> wayland = OpenWaylandPlatform()) return wayland;
    return OpenX11Platform();
}

}  // namespace

Platform& CurrentPlatform() {
    // Never destroyed: exit handlers and ticker threads may still reach it while the
    // process ends.
    static Platform* const platform = ChoosePlatform().release();
    return *platform;
}

}  // namespace vexel
