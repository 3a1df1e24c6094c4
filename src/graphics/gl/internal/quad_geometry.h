#pragma once

// The geometry of the 2-D driver's textured quads, with no GL in it: where a frame's quad can
// be cut to the parts that hold content, where the quads of a submission replace what earlier
// ones drew, and the pieces of an earlier quad that stay visible. Positions are window pixels
// (y downwards) of the view, or drawing units of the projection; a texture coordinate is a
// fraction of the texture's size.

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "graphics/gl/internal/frame_content.h"

namespace vexel {

// One corner of a textured quad: texture coordinates, then the vertex in drawing units.
struct QuadCorner {
    float s, t, x, y;
    bool operator==(const QuadCorner&) const = default;
};

// A textured quad recorded for the next submission, with the state it is drawn in.
struct PendingQuad {
    uint32_t texture;
    int32_t blend;
    bool blending;
    uint8_t color[4];
    // The scissor box in force for it (GL's window coordinates), when one is.
    bool scissor;
    int32_t scissor_box[4];
    // Corners in the order drawn: (s0, t0), (s1, t0), (s1, t1), (s0, t1).
    QuadCorner corners[4];
    // Drawn unturned: its edges follow the window's axes.
    bool unturned;
    // Its texture is filtered linearly, and the quad samples it at texel centres, one texel
    // a window pixel: then it is drawn with nearest filtering, which reads the same texel.
    bool texel_centres;
};

// How the drawing layer places local points in the view: the matrix, the projection's size
// against the view's, and the viewport's scissor box (x, y from the bottom, width, height)
// when it is on.
struct DrawingPlacement {
    float ix = 0, iy = 0, jx = 0, jy = 0;
    float ortho_width = 1, ortho_height = 1;
    int32_t window_width = 0, window_height = 0;
    bool scissor = false;
    int32_t scissor_box[4] = {0, 0, 0, 0};
};

// Where quads may be cut along one axis: `scale` window pixels make a drawing unit, and a
// window position that is a multiple of `step` pixels is an exact number of drawing units.
// That holds when the scale is an odd number times a power of two (the step is the odd
// number: one pixel at a power-of-two scale, three at scale 3, fifteen at 1.875); cuts are
// left out (a step of 0) otherwise, or when the grid would be too coarse to save anything.
struct CutAxis {
    float scale = 0;
    int32_t step = 0;
};

// The cut axis of `pixels` window pixels showing `units` drawing units.
CutAxis CutAxisOf(int32_t pixels, float units);

// Whether every window pixel of the unturned quad from corner `a` to the opposite corner `b`
// samples its texture at a texel's centre, one texel a pixel along both axes: the window's
// scale must be exact, and at pixel centre p + 1/2 the texel coordinate t_a ± (p + 1/2 - p_a)
// is a centre when t_a ∓ p_a is whole. There linear filtering gives a texel whole, so
// nearest filtering, which costs less, reads the same.
// The axes are the window's (CutAxisOf); (uscale, vscale) is a texel's size in texture
// coordinates.
bool SamplesTexelCentres(const QuadCorner& a, const QuadCorner& b, float uscale, float vscale,
                         CutAxis along_x, CutAxis along_y);

// A part of the source rectangle to draw: columns [sx0, sx1), rows [sy0, sy1); `core` when
// every texel its pixels read is opaque.
struct SourcePiece {
    float sx0, sx1, sy0, sy1;
    bool core;
    bool operator==(const SourcePiece&) const = default;
};

// The pieces of the source rectangle that can change a pixel in a mode where clear texels
// change nothing: bands of columns side by side, each cut to the rows that its columns and
// the column on either side hold content in, one row more above and below. A pixel outside
// every piece samples only clear texels. Returns false when the pieces would save too little
// to be worth more than one quad.
// A frame made from a high-resolution picture is cut only between whole image pixels (every
// texel_scale texels), where a piece's corners are exact drawing coordinates, as cuts of
// what later quads cover need: its content is widened out to them and its cores narrowed in.
// `texel_scale` is the frame's texels per image pixel.
bool ContentPieces(const FrameContent& frame, float texel_scale, float sx, float sy, float sw,
                   float sh, bool split_cores, std::vector<SourcePiece>& pieces);

enum class ScissorUse { kNothingToDraw, kWholeQuad, kBox };

// The window box (x, y from the bottom, width, height) outside of which the frame's quad
// would sample only clear texels: the content box and one texel around it, through the
// current matrix and projection, widened by a pixel, within the viewport. kWholeQuad when
// the box would save too little (or the numbers are not finite).
// The quad is the local rectangle (x0, y0)-(x1, y1) moved by (tx, ty), showing the source
// rectangle (sx, sy, sw, sh) of the frame, placed as `placement` says.
ScissorUse ContentScissor(const FrameContent& frame, const DrawingPlacement& placement, float x0,
                          float y0, float x1, float y1, float tx, float ty, float sx, float sy,
                          float sw, float sh, int32_t box[4]);

// Per window column, the rows [top, bottom) that quads later in the frame replace whole,
// kept as one run a column (of two runs that do not touch, the longer).
class Coverage {
  public:
    // Nothing covered, in a window of width × height pixels.
    void Reset(int32_t width, int32_t height) {
        width_ = width;
        height_ = height;
        top_.assign(static_cast<size_t>(std::max(width, 0)), 0);
        bottom_.assign(static_cast<size_t>(std::max(width, 0)), 0);
    }
    int32_t Width() const { return width_; }
    // The covered rows [Top, Bottom) of a column; none when Top >= Bottom.
    int32_t Top(int32_t column) const { return top_[static_cast<size_t>(column)]; }
    int32_t Bottom(int32_t column) const { return bottom_[static_cast<size_t>(column)]; }

    // A quad drawn with blending off and no alpha test writes every pixel whose centre it
    // covers, whatever was there. Pixels whose centre lies within a 64th of a pixel of an
    // edge are left out, as the rasteriser may snap the edge either way.
    void AddReplacing(const PendingQuad& quad, float to_x, float to_y);

  private:
    int32_t width_ = 0, height_ = 0;
    std::vector<int32_t> top_, bottom_;
};

// One window column's visible rows of a quad: up to two runs, [r[0], r[1]) and [r[2], r[3]),
// as window rows, with the quad's own edges where it is not cut.
struct VisibleRows {
    float r[4];
    bool operator==(const VisibleRows&) const = default;
};

// What to draw of an unturned quad given what later quads replace: the whole quad (kWhole,
// also when a cut cannot be made exactly), or the pieces appended to `pieces` (kPieces, none
// when it is covered everywhere), cut at the axes' steps into runs of columns that share
// their visible rows. Where a step is more than one pixel, a cell of that many columns is
// cut to the rows that all its columns have covered, rounded inwards to the row step: the
// quad is drawn over a little of what a later quad replaces, which that quad paints over.
// `runs` is working storage.
enum class Uncovered { kWhole, kPieces };

Uncovered CollectUncovered(const PendingQuad& quad, const Coverage& coverage, CutAxis along_x,
                           CutAxis along_y, std::vector<std::pair<VisibleRows, float>>& runs,
                           std::vector<QuadCorner>& pieces);

}  // namespace vexel
