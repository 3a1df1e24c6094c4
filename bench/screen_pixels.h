#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "graphics/gl/gl_vex2d_driver.h"

namespace vexel::bench {

// Sends what the 2-D layer has collected to OpenGL and waits until every call made so far
// has been executed.
inline void FinishDrawing() {
    SubmitGLVex2DDrawing();
    glFinish();
}

// The RGBA bytes of the current GL context's `width`×`height` pixels from the lower-left
// corner, bottom row first, after every call made so far has been executed. Inline, so that
// only the drawing benchmarks, which link GL, need it.
inline std::vector<uint8_t> ReadBackScreen(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    SubmitGLVex2DDrawing();
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace vexel::bench
