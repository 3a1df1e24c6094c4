#pragma once

// Raw-GL helpers that take pixmaps, for programs drawing with OpenGL directly, and the level
// upload that the 2-D driver's texture frames share with them. Main thread only, with a
// context current.

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

// The pixmap itself when it is PIXEL_RGBA32, else a converted copy.
PixmapPtr AsRGBA(const PixmapPtr& pixmap);

// Allocates level 0 (GL_RGBA8, width × height, no data) of the bound texture and, with
// `mipmap`, every level below it, halving each side above 1, down to 1×1.
void AllocateTextureLevels(int32_t width, int32_t height, bool mipmap);

// Uploads `pixmap` (PIXEL_RGBA32) into level 0 of the bound texture from (0, 0), then with
// `mipmap` its bilinear halvings into levels 1, 2, ... until a 1×1 level has been sent.
// Leaves the unpack row length at 0.
void UploadTextureLevels(const TPixmap& pixmap, bool mipmap);

}  // namespace vexel
