#pragma once

// The texture upload that the raw-GL helpers of gl_texture.h and the 2-D driver's texture
// frames share. Main thread only, with a context current.

#include <cstdint>

#include "pixmap/pixmap.h"

namespace vexel {

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
