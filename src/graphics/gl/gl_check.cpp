#include "graphics/gl/internal/gl_check.h"

#include <GL/gl.h>

#include <cstdio>

namespace vexel {

namespace {

struct CheckState {
    GLErrorReporter reporter;
    int64_t checked = 0;
};

// Never destroyed: GL calls made by exit handlers still come through here.
CheckState& State() {
    static CheckState* const state = new CheckState;
    return *state;
}

void ReportToStandardError(uint32_t error, const char* call) {
    std::fprintf(stderr, "GL error 0x%04X after %s\n", error, call);
}

}  // namespace

GLErrorReporter SetGLErrorReporter(GLErrorReporter reporter) {
    auto previous = std::move(State().reporter);
    State().reporter = std::move(reporter);
    return previous;
}

void CheckGLErrors(const char* call) {
    auto& state = State();
    ++state.checked;
    // A context lost in the middle may report forever; a handful of codes is all there is.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) return;
        if (state.reporter) {
            state.reporter(error, call);
        } else {
            ReportToStandardError(error, call);
        }
    }
}

int64_t CheckedGLCalls() {
    return State().checked;
}

}  // namespace vexel
