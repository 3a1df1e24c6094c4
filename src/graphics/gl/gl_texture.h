#pragma once

#include "runtime/cxx_standard.h"

// Raw-GL helpers that take pixmaps, for programs drawing with OpenGL directly. Main thread
// only, with a context current.

#include <cstdint>

#include "pixmap/pixmap.h"

namespace vexel {

// A new texture (GL_RGBA8) holding the pixmap converted to PIXEL_RGBA32 and scaled to the
// fitted texture size, with every halved level down to 1×1 when `mipmap` is set. Keeps the
// previous binding and unpack row length. Throws "Unable to calculate tex size" when no size
// is accepted.
uint32_t TextureFromPixmap(const PixmapPtr& pixmap, int32_t mipmap);

// Draws the PIXEL_RGBA32 form of the pixmap with glDrawPixels at window position (x, y),
// with the raw-GL 2-D state of PushGL2DState (rows bottom-up, as GL stores them).
void DrawGLPixmap(const PixmapPtr& pixmap, int32_t x, int32_t y);

}  // namespace vexel
