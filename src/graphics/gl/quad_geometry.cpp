#include "graphics/gl/internal/quad_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexel {
namespace {

// Columns per band of a wide frame drawn in bands.
constexpr int32_t kBandColumns = 128;

// An unturned quad's rectangle in window pixels (y downwards): corners 0 and 2 are opposite.
struct WindowRect {
    float left, top, right, bottom;
};

WindowRect RectOf(const PendingQuad& quad, float to_x, float to_y) {
    const float xa = quad.corners[0].x * to_x, xb = quad.corners[2].x * to_x;
    const float ya = quad.corners[0].y * to_y, yb = quad.corners[2].y * to_y;
    return {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
}

// The part of quad `quad` (unturned) between window columns [left, right) and rows
// [top, bottom), which lie within its rectangle: corners in the quad's own order, texture
// coordinates where the quad has them there. False when a coordinate cannot be had exactly.
bool CutCorners(const PendingQuad& quad, float to_x, float to_y, float left, float top, float right,
                float bottom, QuadCorner (&out)[4]) {
    const QuadCorner& a = quad.corners[0];
    const QuadCorner& b = quad.corners[2];
    // Along one axis: the drawing coordinate and texture coordinate at window position p,
    // the corners' own values at their own positions.
    const auto along = [](float p, float scale, float pa, float ta, float pb, float tb,
                          float& position, float& texture) {
        if (p == pa * scale) {
            position = pa, texture = ta;
            return true;
        }
        if (p == pb * scale) {
            position = pb, texture = tb;
            return true;
        }
        position = p / scale;
        const double exact = static_cast<double>(ta) + (static_cast<double>(position) - pa) *
                                                           (static_cast<double>(tb) - ta) /
                                                           (static_cast<double>(pb) - pa);
        texture = static_cast<float>(exact);
        return static_cast<double>(texture) == exact &&
               static_cast<double>(position) * scale == static_cast<double>(p);
    };
    // The a side of the quad is where corner 0 lies.
    const bool a_left = a.x <= b.x, a_top = a.y <= b.y;
    float xa, sa, xb, sb, ya, ta, yb, tb;
    if (!along(a_left ? left : right, to_x, a.x, a.s, b.x, b.s, xa, sa) ||
        !along(a_left ? right : left, to_x, a.x, a.s, b.x, b.s, xb, sb) ||
        !along(a_top ? top : bottom, to_y, a.y, a.t, b.y, b.t, ya, ta) ||
        !along(a_top ? bottom : top, to_y, a.y, a.t, b.y, b.t, yb, tb)) {
        return false;
    }
    out[0] = {sa, ta, xa, ya};
    out[1] = {sb, ta, xb, ya};
    out[2] = {sb, tb, xb, yb};
    out[3] = {sa, tb, xa, yb};
    return true;
}

}  // namespace

CutAxis CutAxisOf(int32_t pixels, float units) {
    const float scale = static_cast<float>(pixels) / units;
    if (!std::isfinite(scale) || !(scale > 0) ||
        static_cast<double>(scale) * units != static_cast<double>(pixels)) {
        return {};
    }
    int exponent = 0;
    constexpr int kMantissaBits = std::numeric_limits<float>::digits;
    auto odd = static_cast<uint32_t>(std::ldexp(std::frexp(scale, &exponent), kMantissaBits));
    while (odd % 2 == 0)
        odd /= 2;
    constexpr uint32_t kCoarsestStep = 16;
    if (odd > kCoarsestStep) return {};
    return {scale, static_cast<int32_t>(odd)};
}

bool SamplesTexelCentres(const QuadCorner& a, const QuadCorner& b, float uscale, float vscale,
                         CutAxis along_x, CutAxis along_y) {
    if (along_x.step == 0 || along_y.step == 0) return false;
    const auto one_to_one = [](double pa, double pb, double ta, double tb) {
        const double pixels = pb - pa, texels = tb - ta;
        if (!(pixels != 0 && std::fabs(texels) == std::fabs(pixels))) return false;
        const double offset = texels == pixels ? ta - pa : ta + pa;
        return std::floor(offset) == offset;
    };
    const double width = 1.0 / uscale, height = 1.0 / vscale;
    return one_to_one(a.x * static_cast<double>(along_x.scale),
                      b.x * static_cast<double>(along_x.scale), a.s * width, b.s * width) &&
           one_to_one(a.y * static_cast<double>(along_y.scale),
                      b.y * static_cast<double>(along_y.scale), a.t * height, b.t * height);
}

bool ContentPieces(const FrameContent& frame, float texel_scale, float sx, float sy, float sw,
                   float sh, bool split_cores, std::vector<SourcePiece>& pieces) {
    pieces.clear();
    const float unit = texel_scale >= 1 && std::floor(texel_scale) == texel_scale ? texel_scale : 1;
    const auto down = [unit](int32_t texel) {
        return std::floor(static_cast<float>(texel) / unit) * unit;
    };
    const auto up = [unit](int32_t texel) {
        return std::ceil(static_cast<float>(texel) / unit) * unit;
    };
    const float left = std::max(sx, down(std::max(frame.content_x0 - 1, 0)));
    const float right = std::min(sx + sw, up(std::min(frame.content_x1 + 1, frame.image_width)));
    float area = 0;
    const int32_t band = kBandColumns - kBandColumns % static_cast<int32_t>(unit);
    const int32_t wide = frame.image_width >= 2 * kBandColumns ? band : frame.image_width;
    for (float start = left; start < right;) {
        const float band_end =
            (std::floor(start / static_cast<float>(wide)) + 1) * static_cast<float>(wide);
        const float end = std::min(right, band_end);
        // The columns whose texels a pixel of this piece can read.
        const int32_t first = std::max(static_cast<int32_t>(std::floor(start)) - 1, 0);
        const int32_t last = std::min(static_cast<int32_t>(std::ceil(end)) + 1, frame.image_width);
        int32_t top = frame.image_height, bottom = 0;
        int32_t core_top = 0, core_bottom = frame.image_height;
        for (int32_t x = first; x < last; ++x) {
            const size_t i = static_cast<size_t>(x);
            core_top = std::max(core_top, frame.core_top[i]);
            core_bottom = std::min(core_bottom, frame.core_bottom[i]);
            if (frame.column_top[i] >= frame.column_bottom[i]) continue;
            top = std::min(top, frame.column_top[i]);
            bottom = std::max(bottom, frame.column_bottom[i]);
        }
        const float y0 = std::max(sy, down(top - 1));
        const float y1 = std::min(sy + sh, up(bottom + 1));
        if (top < bottom && y0 < y1) {
            area += (end - start) * (y1 - y0);
            // A pixel whose sample lies in rows [c0, c1) reads rows c0 - 1 to c1 at most.
            const float c0 = std::max(y0, up(core_top + 1));
            const float c1 = std::min(y1, down(core_bottom - 1));
            if (split_cores && c0 < c1) {
                if (y0 < c0) pieces.push_back({start, end, y0, c0, false});
                pieces.push_back({start, end, c0, c1, true});
                if (c1 < y1) pieces.push_back({start, end, c1, y1, false});
                area -= (end - start) * (c1 - c0) * 0.5f;  // unblended pixels cost less
            } else {
                pieces.push_back({start, end, y0, y1, false});
            }
        }
        start = end;
    }
    return area < 0.8f * sw * sh;
}

ScissorUse ContentScissor(const FrameContent& frame, const DrawingPlacement& s, float x0, float y0,
                          float x1, float y1, float tx, float ty, float sx, float sy, float sw,
                          float sh, int32_t box[4]) {
    const float a0 = std::max(sx, static_cast<float>(std::max(frame.content_x0 - 1, 0)));
    const float a1 =
        std::min(sx + sw, static_cast<float>(std::min(frame.content_x1 + 1, frame.image_width)));
    const float b0 = std::max(sy, static_cast<float>(std::max(frame.content_y0 - 1, 0)));
    const float b1 =
        std::min(sy + sh, static_cast<float>(std::min(frame.content_y1 + 1, frame.image_height)));
    if (a0 >= a1 || b0 >= b1) return ScissorUse::kNothingToDraw;
    const float kx = (x1 - x0) / sw, ky = (y1 - y0) / sh;
    const float to_x = static_cast<float>(s.window_width) / s.ortho_width;
    const float to_y = static_cast<float>(s.window_height) / s.ortho_height;
    // Window pixels (y downwards) of the corners of the source rectangle [u0, u1] × [v0, v1].
    const auto bounds = [&](float u0, float u1, float v0, float v1, float out[4]) {
        out[0] = out[1] = std::numeric_limits<float>::infinity();
        out[2] = out[3] = -std::numeric_limits<float>::infinity();
        for (const float u : {u0, u1}) {
            for (const float v : {v0, v1}) {
                const float lx = x0 + (u - sx) * kx, ly = y0 + (v - sy) * ky;
                const float px = (lx * s.ix + ly * s.iy + tx) * to_x;
                const float py = (lx * s.jx + ly * s.jy + ty) * to_y;
                out[0] = std::min(out[0], px), out[1] = std::min(out[1], py);
                out[2] = std::max(out[2], px), out[3] = std::max(out[3], py);
            }
        }
    };
    float content[4], whole[4];
    bounds(a0, a1, b0, b1, content);
    bounds(sx, sx + sw, sy, sy + sh, whole);
    for (const float v : {content[0], content[1], content[2], content[3]}) {
        if (!std::isfinite(v)) return ScissorUse::kWholeQuad;
    }
    // Within the window (and the viewport's box), a pixel wider on each side.
    int32_t limit[4] = {0, 0, s.window_width, s.window_height};  // left, top, right, bottom
    if (s.scissor) {
        limit[0] = s.scissor_box[0];
        limit[2] = s.scissor_box[0] + s.scissor_box[2];
        limit[1] = s.window_height - (s.scissor_box[1] + s.scissor_box[3]);
        limit[3] = s.window_height - s.scissor_box[1];
    }
    const auto clamp = [](float v, int32_t low, int32_t high) {
        return static_cast<int32_t>(
            std::clamp(v, static_cast<float>(low), static_cast<float>(high)));
    };
    const int32_t left = clamp(std::floor(content[0]) - 1, limit[0], limit[2]);
    const int32_t top = clamp(std::floor(content[1]) - 1, limit[1], limit[3]);
    const int32_t right = clamp(std::ceil(content[2]) + 1, limit[0], limit[2]);
    const int32_t bottom = clamp(std::ceil(content[3]) + 1, limit[1], limit[3]);
    if (left >= right || top >= bottom) return ScissorUse::kNothingToDraw;
    const float saved = static_cast<float>(right - left) * static_cast<float>(bottom - top);
    if (!(saved < 0.8f * (whole[2] - whole[0]) * (whole[3] - whole[1]))) {
        return ScissorUse::kWholeQuad;
    }
    box[0] = left;
    box[1] = s.window_height - bottom;
    box[2] = right - left;
    box[3] = bottom - top;
    return ScissorUse::kBox;
}

void Coverage::AddReplacing(const PendingQuad& quad, float to_x, float to_y) {
    const WindowRect r = RectOf(quad, to_x, to_y);
    if (!(std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.top) &&
          std::isfinite(r.bottom))) {
        return;
    }
    constexpr float kEdge = 1.0f / 64;
    const auto first_centre = [](float edge) {
        return std::floor(edge + kEdge - 0.5f) + 1;  // first pixel whose centre is inside
    };
    const auto end_centre = [](float edge) { return std::ceil(edge - kEdge - 0.5f); };
    float c0 = std::max(first_centre(r.left), 0.0f);
    float c1 = std::min(end_centre(r.right), static_cast<float>(width_));
    float r0 = std::max(first_centre(r.top), 0.0f);
    float r1 = std::min(end_centre(r.bottom), static_cast<float>(height_));
    if (quad.scissor) {
        const int32_t* box = quad.scissor_box;
        c0 = std::max(c0, static_cast<float>(box[0]));
        c1 = std::min(c1, static_cast<float>(box[0] + box[2]));
        r0 = std::max(r0, static_cast<float>(height_ - (box[1] + box[3])));
        r1 = std::min(r1, static_cast<float>(height_ - box[1]));
    }
    if (!(c0 < c1 && r0 < r1)) return;
    const auto top = static_cast<int32_t>(r0), bottom = static_cast<int32_t>(r1);
    for (auto c = static_cast<int32_t>(c0); c < static_cast<int32_t>(c1); ++c) {
        auto& t = top_[static_cast<size_t>(c)];
        auto& b = bottom_[static_cast<size_t>(c)];
        if (t < b && top <= b && bottom >= t) {
            t = std::min(t, top), b = std::max(b, bottom);
        } else if (t >= b || bottom - top > b - t) {
            t = top, b = bottom;
        }
    }
}

Uncovered CollectUncovered(const PendingQuad& quad, const Coverage& coverage, CutAxis along_x,
                           CutAxis along_y, std::vector<std::pair<VisibleRows, float>>& runs,
                           std::vector<QuadCorner>& pieces) {
    const float to_x = along_x.scale, to_y = along_y.scale;
    const WindowRect r = RectOf(quad, to_x, to_y);
    constexpr float kFar = 1e6f;  // beyond this, whole pixels are no longer exact floats
    if (!(std::fabs(r.left) < kFar && std::fabs(r.right) < kFar && std::fabs(r.top) < kFar &&
          std::fabs(r.bottom) < kFar)) {
        return Uncovered::kWhole;
    }
    // A quad whose corners lie between the rasteriser's sixty-fourths of a pixel is drawn
    // whole: the rounding of its plane equations differs from piece to piece, which can move
    // a filtered pixel by one step.
    const auto fine = [](float corner, float scale) {
        const double sixty_fourths = static_cast<double>(corner) * scale * 64;
        return std::floor(sixty_fourths) == sixty_fourths;
    };
    if (!fine(quad.corners[0].x, to_x) || !fine(quad.corners[2].x, to_x) ||
        !fine(quad.corners[0].y, to_y) || !fine(quad.corners[2].y, to_y)) {
        return Uncovered::kWhole;
    }
    const auto first = static_cast<int32_t>(std::max(std::floor(r.left), 0.0f));
    const auto end =
        static_cast<int32_t>(std::min(std::ceil(r.right), static_cast<float>(coverage.Width())));
    const int32_t step = along_x.step, row_step = along_y.step;
    // Cell by cell, what is left after the covered rows; runs of equal cells merged.
    runs.clear();
    bool cut = false;
    for (int32_t cell = first - first % step; cell < end; cell += step) {
        const int32_t from = std::max(cell, first), to = std::min(cell + step, end);
        int32_t covered_top = coverage.Top(from), covered_bottom = coverage.Bottom(from);
        for (int32_t c = from + 1; c < to; ++c) {
            covered_top = std::max(covered_top, coverage.Top(c));
            covered_bottom = std::min(covered_bottom, coverage.Bottom(c));
        }
        const auto top = static_cast<float>((covered_top + row_step - 1) / row_step * row_step);
        const auto bottom = static_cast<float>(covered_bottom / row_step * row_step);
        VisibleRows rows{{r.top, r.bottom, 0, 0}};
        if (top < bottom && top < r.bottom && bottom > r.top) {
            cut = true;
            rows.r[1] = std::max(r.top, top);
            rows.r[2] = std::min(r.bottom, bottom);
            rows.r[3] = r.bottom;
            if (rows.r[2] >= rows.r[3]) rows.r[2] = rows.r[3] = 0;
        }
        if (runs.empty() || !(runs.back().first == rows))
            runs.emplace_back(rows, static_cast<float>(cell));
    }
    if (!cut) return Uncovered::kWhole;
    const size_t kept = pieces.size();
    for (size_t i = 0; i < runs.size(); ++i) {
        const float left = i == 0 ? r.left : runs[i].second;
        const float right = i + 1 < runs.size() ? runs[i + 1].second : r.right;
        const VisibleRows& rows = runs[i].first;
        for (int part = 0; part < 2; ++part) {
            const float top = rows.r[2 * part], bottom = rows.r[2 * part + 1];
            if (!(top < bottom) || !(left < right)) continue;
            QuadCorner corners[4];
            if (!CutCorners(quad, to_x, to_y, left, top, right, bottom, corners)) {
                pieces.resize(kept);
                return Uncovered::kWhole;
            }
            pieces.insert(pieces.end(), corners, corners + 4);
        }
    }
    return Uncovered::kPieces;
}

}  // namespace vexel
