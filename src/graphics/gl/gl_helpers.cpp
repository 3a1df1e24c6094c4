#include "graphics/gl/gl_helpers.h"

#include <GL/gl.h>

#include <vector>

#include "graphics/gl/internal/gl_drawing.h"
#include "graphics/gl/native_window.h"
#include "graphics/graphics.h"
#include "runtime/error.h"

namespace vexel {

namespace {

struct Saved2DState {
    GLdouble modelview[16];
    GLdouble projection[16];
};

Saved2DState saved;

}  // namespace

void PushGL2DState() {
    SubmitPendingQuads();  // what the 2-D layer drew goes first
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, saved.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, saved.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Raw drawing is in the logical frame's units, whatever the window shows it at.
    const float scale = CurrentGraphicsView().scale;
    if (scale == 1) {
        glOrtho(0, viewport[2], viewport[3], 0, -1, 1);
    } else {
        glOrtho(0, CurrentGraphicsWidth(), CurrentGraphicsHeight(), 0, -1, 1);
    }
    // The 2-D driver leaves texturing on; the helpers' rectangles and pixels would otherwise
    // take a texel's colour instead of their own. The pop restores it with the other bits.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
}

void PopGL2DState() {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(saved.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(saved.modelview);
    glPopAttrib();
}

int32_t NextPowerOfTwo(int32_t n) {
    int32_t power = 1;
    while (power < n && power < (1 << 30))
        power <<= 1;
    return power;
}

void FitGLTextureSize(int32_t& width, int32_t& height) {
    width = NextPowerOfTwo(width);
    height = NextPowerOfTwo(height);
    // A proxy query costs the implementation about as much as checking a real texture, and
    // the answer for a size only changes with the context: each size is asked once per
    // graphics generation.
    struct Fit {
        int32_t width, height, fitted_width, fitted_height;
    };
    static std::vector<Fit> fits;
    static int32_t fits_generation = -1;
    if (fits_generation != GraphicsGeneration()) {
        fits.clear();
        fits_generation = GraphicsGeneration();
    }
    for (const Fit& fit : fits) {
        if (fit.width == width && fit.height == height) {
            width = fit.fitted_width;
            height = fit.fitted_height;
            return;
        }
    }
    const int32_t asked_width = width, asked_height = height;
    for (;;) {
        glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        GLint accepted = 0;
        glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted);
        if (accepted != 0) break;
        if (width == 1 && height == 1) throw RuntimeError(u"Unable to calculate tex size");
        if (width > 1) width /= 2;
        if (height > 1) height /= 2;
    }
    fits.push_back({asked_width, asked_height, width, height});
}

void DrawGLRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    SubmitPendingQuads();
    PushGL2DState();
    glBegin(GL_QUADS);
    glVertex2i(x, y);
    glVertex2i(x + width, y);
    glVertex2i(x + width, y + height);
    glVertex2i(x, y + height);
    glEnd();
    PopGL2DState();
}

long CountGLFragments(const std::function<void()>& draw) {
    // Queries are GL 1.5; the headers only promise 1.3, so they are looked up.
    using Queries = void (*)(GLsizei, GLuint*);
    using Begin = void (*)(GLenum, GLuint);
    using End = void (*)(GLenum);
    using Result = void (*)(GLuint, GLenum, GLuint*);
    const auto get = [](const char* name) { return GLProcAddress(name); };
    const auto gen = reinterpret_cast<Queries>(get("glGenQueries"));
    const auto begin = reinterpret_cast<Begin>(get("glBeginQuery"));
    const auto end = reinterpret_cast<End>(get("glEndQuery"));
    const auto result = reinterpret_cast<Result>(get("glGetQueryObjectuiv"));
    const auto remove = reinterpret_cast<Queries>(get("glDeleteQueries"));
    if (!gen || !begin || !end || !result || !remove) return -1;
    constexpr GLenum kSamplesPassed = 0x8914, kQueryResult = 0x8866;
    GLuint query = 0;
    gen(1, &query);
    SubmitPendingQuads();
    begin(kSamplesPassed, query);
    draw();
    SubmitPendingQuads();
    end(kSamplesPassed);
    GLuint samples = 0;
    result(query, kQueryResult, &samples);
    remove(1, &query);
    return static_cast<long>(samples);
}

}  // namespace vexel
