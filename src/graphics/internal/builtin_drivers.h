#pragma once

#include <cstdint>
#include <span>

#include "graphics/graphics.h"

namespace vexel {

// One graphics driver this build has: a function that makes it (null when it cannot run
// here) and the flags every context it makes gets.
struct BuiltinGraphicsDriver {
    GraphicsDriverPtr (*make)();
    int32_t default_flags;
};

// The graphics drivers in the order the graphics module tries them on first use; the first
// that can run becomes current. The OpenGL 2-D driver comes first, so that OpenGraphics
// gives drawing contexts; the plain OpenGL driver it wraps is the fallback.
std::span<const BuiltinGraphicsDriver> BuiltinGraphicsDrivers();

}  // namespace vexel
