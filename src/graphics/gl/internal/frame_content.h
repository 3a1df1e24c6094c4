#pragma once

// What the drawing of an image frame can skip without changing a pixel, measured once from
// its pixels when its texture is made. No GL: the measurement is plain arithmetic over the
// RGBA pixmap that is uploaded.

#include <cstdint>
#include <vector>

#include "pixmap/pixmap.h"

namespace vexel {

// The image's size in its texture; whether every pixel is opaque (alpha 255); and the box
// [content_x0, content_x1) × [content_y0, content_y1) of its pixels whose alpha is not 0
// (empty when the image is clear everywhere). Without mipmaps a drawn pixel reads at most
// the two texels on each side of its sample point, so a frame drawn in a mode where a clear
// texel changes nothing needs only that box and one texel around it; and an opaque frame
// blended by its alpha with an opaque colour replaces the destination, so it is drawn with
// blending off.
struct FrameContent {
    int32_t image_width = 0, image_height = 0;
    bool opaque = false;
    int32_t content_x0 = 0, content_y0 = 0, content_x1 = 0, content_y1 = 0;
    // Per column, the rows [column_top, column_bottom) between its first and last pixel that
    // is not clear (top >= bottom when the column is clear). A wide frame is drawn as bands
    // of columns side by side, each only as tall as its own content (and one texel around
    // it), so that the clear sky above a range of hills is not drawn either.
    std::vector<int32_t> column_top, column_bottom;
    // Per column, its longest run of opaque rows [core_top, core_bottom) (the first of equal
    // runs). Where a band's columns (and one on either side) are opaque over some rows, that
    // part is drawn with blending off in BlendAlpha, as a wholly opaque frame is.
    std::vector<int32_t> core_top, core_bottom;

    // True when no pixel of the image has alpha other than 0.
    bool Clear() const { return content_x0 >= content_x1; }
};

// The content of the w × h image at the top left of the PIXEL_RGBA32 pixmap `rgba`.
FrameContent MeasureContent(const TPixmap& rgba, int32_t w, int32_t h);

}  // namespace vexel
