#pragma once

// In debug builds every GL call made through VEXEL_GL is followed by glGetError, and each
// error is reported together with the text of the call that caused it. In release builds the
// macro is the bare call. Never wrap calls between glBegin and glEnd: glGetError is itself an
// error there.

#include <cstdint>
#include <functional>

namespace vexel {

// Receives the GL error code and the call's source text. The default writes
// "GL error 0x0500 after glEnable(x)" and a line end to standard error.
using GLErrorReporter = std::function<void(uint32_t error, const char* call)>;
// Installs `reporter` (null restores the default); returns the previous one.
GLErrorReporter SetGLErrorReporter(GLErrorReporter reporter);

// Drains glGetError after `call`, reporting each error. Counts the checked calls.
void CheckGLErrors(const char* call);
// Calls checked so far; stays 0 in release builds.
int64_t CheckedGLCalls();

}  // namespace vexel

#ifdef NDEBUG
#define VEXEL_GL(call) call
#else
#define VEXEL_GL(call)                 \
    do {                               \
        call;                          \
        ::vexel::CheckGLErrors(#call); \
    } while (0)
#endif
