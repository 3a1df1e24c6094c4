#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace vexel::bench {

// The RGBA bytes of the current GL context's `width`×`height` pixels from the lower-left
// corner, bottom row first, after every call made so far has been executed. Inline, so that
// only the drawing benchmarks, which link GL, need it.
inline std::vector<uint8_t> ReadBackScreen(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace vexel::bench
