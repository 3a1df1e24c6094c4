#pragma once

// The outlines that outlined text draws its glyphs on: per glyph, a black silhouette of the
// ink grown by the outline's width, drawn under the glyphs so that no glyph's outline ever
// covers the ink of its neighbour.

#include <cstdint>

#include "pixmap/pixmap.h"

namespace vexel {

// A glyph's outline, `margin` pixels larger on every side than the glyph it was made from.
struct OutlinedGlyph {
    PixmapPtr pixmap;
    int32_t margin = 0;
};

// The outline of `glyph` (its alpha is the ink's coverage, its colour is ignored) as a black
// PIXEL_RGBA32 pixmap: opaque under the ink, and every pixel within `width` pixels of ink
// (measured from the ink pixel's square, so a neighbour beside an ink pixel is covered whole
// from a width of one half) at the coverage of that ring.
OutlinedGlyph OutlineGlyph(const TPixmap& glyph, float width);

}  // namespace vexel
