#pragma once

#include <GL/gl.h>
#include <GL/glx.h>

#include <cstdint>
#include <functional>
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

// The fragments that `draw` has the rasteriser write (an occlusion query's samples passed,
// which without a depth test is every fragment shaded that is not discarded), or -1 when the
// GL lacks occlusion queries.
inline long FragmentsDrawnBy(const std::function<void()>& draw) {
    using GenQueries = void (*)(GLsizei, GLuint*);
    using QueryFunction = void (*)(GLenum, GLuint);
    using EndQuery = void (*)(GLenum);
    using GetQueryObject = void (*)(GLuint, GLenum, GLuint*);
    const auto get = [](const char* name) {
        return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
    };
    const auto gen = reinterpret_cast<GenQueries>(get("glGenQueries"));
    const auto begin = reinterpret_cast<QueryFunction>(get("glBeginQuery"));
    const auto end = reinterpret_cast<EndQuery>(get("glEndQuery"));
    const auto result = reinterpret_cast<GetQueryObject>(get("glGetQueryObjectuiv"));
    const auto remove = reinterpret_cast<GenQueries>(get("glDeleteQueries"));
    if (!gen || !begin || !end || !result || !remove) return -1;
    constexpr GLenum kSamplesPassed = 0x8914, kQueryResult = 0x8866;
    GLuint query = 0;
    gen(1, &query);
    begin(kSamplesPassed, query);
    draw();
    SubmitGLVex2DDrawing();
    end(kSamplesPassed);
    GLuint samples = 0;
    result(query, kQueryResult, &samples);
    remove(1, &query);
    return static_cast<long>(samples);
}

}  // namespace vexel::bench
