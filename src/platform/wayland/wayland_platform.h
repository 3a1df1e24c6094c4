#pragma once

// The Wayland platform: the compositor connection with its seat, xdg-shell windows drawn with
// EGL, and the outputs.

#include <memory>

#include "platform/platform.h"

namespace vexel {

// The Wayland platform over the compositor WAYLAND_DISPLAY names (or the default one); null
// when no compositor answers.
std::unique_ptr<Platform> OpenWaylandPlatform();

}  // namespace vexel
