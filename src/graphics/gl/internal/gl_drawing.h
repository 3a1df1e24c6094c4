#pragma once

// What the OpenGL 2-D driver shares with its image frames: the layer's drawing state, the
// GL state cache, and the queue of textured quads waiting for submission. The driver
// (gl_vex2d_driver.cpp) owns and defines all of it. Main thread only.

#include <cstdint>

#include "graphics/gl/internal/gl_state_cache.h"
#include "graphics/gl/internal/quad_geometry.h"

namespace vexel {

class TGLImageFrame;

// The 2-D layer's drawing state that a recorded quad takes along.
struct GLDrawingState {
    // The layer's blend mode and colour. GL's may differ while recorded quads wait.
    int32_t blend = 0;
    uint8_t color[4] = {0, 0, 0, 0};
    // The matrix, the projection and the view, and the viewport's scissor box.
    DrawingPlacement placement;
};

// The driver's drawing state.
const GLDrawingState& CurrentGLDrawing();

// The GL state cache of the current context.
GLStateCache& TheGLStateCache();

// Records the textured quad of `frame`'s source rectangle (sx, sy, sw, sh), in texels, at
// local corners (x0, y0), (x1, y1) moved by (tx, ty), drawn with blending `blending` and,
// when `box` is given, only inside that scissor box (which lies within the viewport's).
void RecordQuad(const TGLImageFrame& frame, bool blending, const int32_t* box, float x0, float y0,
                float x1, float y1, float tx, float ty, float sx, float sy, float sw, float sh);

// Draws the recorded quads (see SubmitGLVex2DDrawing).
void SubmitPendingQuads();

}  // namespace vexel
