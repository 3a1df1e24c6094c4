#pragma once

#include "runtime/cxx_standard.h"

// Helpers for drawing with raw OpenGL into the current context.

#include <cstdint>
#include <functional>

namespace vexel {

// Saves the enable, texture and transform state and both matrices, then sets up a
// pixel-exact projection over the viewport (origin top-left, y down) without culling,
// alpha test or depth test.
void PushGL2DState();
// Undoes PushGL2DState.
void PopGL2DState();

// Rounds width and height up to powers of two, then halves both until the GL accepts a
// texture of that size. Throws RuntimeError "Unable to calculate tex size" when not even
// 1x1 is accepted. Needs a current context.
void FitGLTextureSize(int32_t& width, int32_t& height);

// The smallest power of two >= n, at least 1.
int32_t NextPowerOfTwo(int32_t n);

// The fragments that `draw` has the rasteriser write, 2-D drawing submitted included (an
// occlusion query's samples passed: without a depth test, every fragment shaded and not
// discarded), for measuring overdraw; -1 when the GL has no occlusion queries. The 2-D
// drawing recorded before the call is submitted first and not counted.
long CountGLFragments(const std::function<void()>& draw);
// Fills the rectangle in the current colour, in window pixels.
void DrawGLRect(int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace vexel
