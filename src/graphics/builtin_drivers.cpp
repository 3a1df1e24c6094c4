#include "graphics/internal/builtin_drivers.h"

#include <array>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/gl_vex2d_driver.h"

namespace vexel {

namespace {

GraphicsDriverPtr MakeGLVex2DDriver() {
    return TheGLVex2DDriver()->Create();
}

GraphicsDriverPtr MakeGLGraphicsDriver() {
    return TheGLGraphicsDriver();
}

constexpr std::array<BuiltinGraphicsDriver, 2> kDrivers = {{
    {MakeGLVex2DDriver, GfxFlagBackBuffer},
    {MakeGLGraphicsDriver, GfxFlagBackBuffer},
}};

}  // namespace

std::span<const BuiltinGraphicsDriver> BuiltinGraphicsDrivers() {
    return kDrivers;
}

}  // namespace vexel
