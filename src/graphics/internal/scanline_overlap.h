#pragma once

#include <cstdint>
#include <vector>

namespace vexel {

// Pixels of a collision mask: 32-bit words whose bit 31 means opaque (the top bit of the alpha
// byte of a PIXEL_RGBA32 pixel). A mask with no pixels or no area is never opaque.
struct CollisionMask {
    const uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
};

// One polygon handed to the rasteriser: `count` vertices of four numbers each (x, y, u, v),
// screen coordinates with y downwards, (u, v) in 0..1 across the mask. Without a mask the
// polygon is opaque everywhere.
struct OverlapPolygon {
    const float* xyuv = nullptr;
    int32_t count = 0;
    const CollisionMask* mask = nullptr;
};

// Walks two polygons down the screen scanline by scanline and reports whether some pixel
// column is covered by both, opaque in both. Spans are half-open: a polygon covers the
// columns from its truncated left edge up to, not including, its truncated right edge, and
// edges are sampled half a scanline below each vertex row. Keeps one line buffer between
// calls so repeated tests allocate little. Main thread only.
class ScanlineOverlap {
  public:
    // Where both polygons read consecutive columns of one mask row along a span (a mask of
    // power-of-two width drawn unscaled and unrotated), the span is tested a word of pixels
    // at a time; otherwise column by column. With `word_spans` false every span is tested
    // column by column; the verdicts are the same either way.
    explicit ScanlineOverlap(bool word_spans = true) : word_spans_(word_spans) {}

    bool PolygonsOverlap(const OverlapPolygon& first, const OverlapPolygon& second);

  private:
    bool word_spans_;
    std::vector<int32_t> line_;
};

}  // namespace vexel
