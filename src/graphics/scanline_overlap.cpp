#include "graphics/internal/scanline_overlap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "graphics/internal/truncate.h"

namespace vexel {

namespace {

constexpr int kChannels = 4;
constexpr int kMaxVertices = 8;
// Columns handled per pass of the span test; a wider span is walked in pieces so that the
// line buffer stays small whatever the quads' size.
constexpr int64_t kSpanChunk = 4096;

enum State { kNotStarted = 0, kActive = 1, kFinished = 2 };

// One polygon while it is being rasterised: its vertices (possibly reordered), the current
// value and per-scanline step of its left and right edge, and the vertex each edge heads to.
struct RasterPolygon {
    const CollisionMask* texture = nullptr;
    std::array<float, kChannels * kMaxVertices> data{};
    int32_t count = 0;
    std::array<float, kChannels> ldat{}, ladd{}, rdat{}, radd{};
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t top = 0;
    int32_t state = kNotStarted;

    const float* Vertex(int32_t index) const {
        return &data[static_cast<size_t>(index) * kChannels];
    }
    int32_t Row(int32_t index) const { return TruncateCoordinate(Vertex(index)[1]); }
};

void Load(RasterPolygon& polygon, const OverlapPolygon& source) {
    polygon.texture = source.mask;
    polygon.count = source.count;
    std::copy_n(source.xyuv, source.count * kChannels, polygon.data.begin());

    // The walk below expects clockwise order on screen (y downwards). A polygon whose fan
    // triangles all have a non-negative cross product runs the other way, so reverse it.
    const float x0 = polygon.data[0];
    const float y0 = polygon.data[1];
    bool reverse = true;
    for (int32_t i = 1; i + 1 < polygon.count; ++i) {
        const float* vi = polygon.Vertex(i);
        const float* vj = polygon.Vertex(i + 1);
        const float cross = (vj[0] - vi[0]) * (vi[1] - y0) - (vi[0] - x0) * (vj[1] - vi[1]);
        if (TruncateCoordinate(cross) < 0) {
            reverse = false;
            break;
        }
    }
    if (reverse) {
        for (int32_t i = 0, j = polygon.count - 1; i < j; ++i, --j) {
            std::swap_ranges(&polygon.data[static_cast<size_t>(i) * kChannels],
                             &polygon.data[static_cast<size_t>(i + 1) * kChannels],
                             &polygon.data[static_cast<size_t>(j) * kChannels]);
        }
    }

    int32_t top_index = 0;
    for (int32_t i = 1; i < polygon.count; ++i) {
        if (polygon.Row(i) < polygon.Row(top_index)) top_index = i;
    }
    polygon.top = polygon.Row(top_index);
    polygon.Left = polygon.Right = top_index;
    polygon.state = kNotStarted;
}

// Moves one edge of `polygon` on to the vertex it heads for once scanline `y` has reached the
// vertex it was heading to. Returns false when the edge has nowhere left to go, which finishes
// the polygon.
bool WalkEdge(RasterPolygon& polygon, int32_t y, bool left, std::vector<RasterPolygon*>& active) {
    int32_t& cursor = left ? polygon.Left : polygon.Right;
    if (y < polygon.Row(cursor)) return true;
    const auto step = [&](int32_t index) {
        if (left) return index == 0 ? polygon.count - 1 : index - 1;
        return index + 1 == polygon.count ? 0 : index + 1;
    };
    int32_t a = cursor;
    int32_t b = step(a);
    while (b != cursor && polygon.Row(b) <= y) {
        a = b;
        b = step(b);
    }
    if (b == cursor || polygon.Row(b) - polygon.Row(a) < 1) return false;
    const float rows = static_cast<float>(polygon.Row(b) - polygon.Row(a));
    auto& dat = left ? polygon.ldat : polygon.rdat;
    auto& add = left ? polygon.ladd : polygon.radd;
    for (int k = 0; k < kChannels; ++k) {
        dat[k] = polygon.Vertex(a)[k];
        add[k] = (polygon.Vertex(b)[k] - polygon.Vertex(a)[k]) / rows;
        // Sample the edge half a scanline below the vertex row.
        dat[k] += add[k] * 0.5f;
    }
    cursor = b;
    if (polygon.state == kNotStarted) {
        polygon.state = kActive;
        active.push_back(&polygon);
    }
    return true;
}

// Where one polygon's texture walk stands during a span test.
struct SpanWalk {
    const CollisionMask* mask = nullptr;
    bool skip = false;
    float u = 0, v = 0, du = 0, dv = 0;
};

bool MaskOpaque(const CollisionMask& mask, float u, float v) {
    if (!mask.pixels || mask.width <= 0 || mask.height <= 0) return false;
    if (!(u >= 0)) u = 0;
    if (u > 1) u = 1;
    if (!(v >= 0)) v = 0;
    if (v > 1) v = 1;
    const int32_t column =
        std::min(static_cast<int32_t>(u * static_cast<float>(mask.width)), mask.width - 1);
    const int32_t row =
        std::min(static_cast<int32_t>(v * static_cast<float>(mask.height)), mask.height - 1);
    uint32_t word;
    std::memcpy(&word,
                mask.pixels + static_cast<size_t>(row) * static_cast<size_t>(mask.pitch / 4) * 4 +
                    static_cast<size_t>(column) * 4,
                sizeof word);
    return (word & 0x80000000u) != 0;
}

}  // namespace

bool ScanlineOverlap::PolygonsOverlap(const OverlapPolygon& first, const OverlapPolygon& second) {
    for (const auto* source : {&first, &second}) {
        if (source->count < 1 || source->count > kMaxVertices || !source->xyuv) return false;
    }
    std::array<RasterPolygon, 2> polygons;
    Load(polygons[0], first);
    Load(polygons[1], second);

    int32_t ymin = polygons[0].Row(0);
    int32_t ymax = ymin;
    for (const auto& polygon : polygons) {
        for (int32_t i = 0; i < polygon.count; ++i) {
            ymin = std::min(ymin, polygon.Row(i));
            ymax = std::max(ymax, polygon.Row(i));
        }
    }

    std::vector<RasterPolygon*> active;
    active.reserve(polygons.size());
    for (int32_t y = ymin; y < ymax; ++y) {
        for (auto& polygon : polygons) {
            if (polygon.state == kFinished) continue;
            if (polygon.state == kNotStarted && polygon.top > y) continue;
            if (!WalkEdge(polygon, y, true, active) || !WalkEdge(polygon, y, false, active)) {
                polygon.state = kFinished;
                active.erase(std::remove(active.begin(), active.end(), &polygon), active.end());
            }
        }
        if (active.size() >= 2) {
            // Span test: the columns both polygons cover on this scanline, [start, end).
            const int32_t l1 = TruncateCoordinate(active[0]->ldat[0]);
            const int32_t r1 = TruncateCoordinate(active[0]->rdat[0]);
            const int32_t l2 = TruncateCoordinate(active[1]->ldat[0]);
            const int32_t r2 = TruncateCoordinate(active[1]->rdat[0]);
            const int64_t start = std::max(l1, l2);
            const int64_t width = static_cast<int64_t>(std::min(r1, r2)) - start;
            if (l2 < r1 && r2 > l1 && width > 0) {
                std::array<SpanWalk, 2> walks;
                for (size_t p = 0; p < walks.size(); ++p) {
                    const RasterPolygon& polygon = *active[p];
                    SpanWalk& walk = walks[p];
                    walk.mask = polygon.texture;
                    if (!walk.mask) continue;
                    const int32_t left = TruncateCoordinate(polygon.ldat[0]);
                    const int64_t n =
                        static_cast<int64_t>(TruncateCoordinate(polygon.rdat[0])) - left;
                    if (n < 1) {
                        walk.skip = true;
                        continue;
                    }
                    walk.du = (polygon.rdat[2] - polygon.ldat[2]) / static_cast<float>(n);
                    walk.dv = (polygon.rdat[3] - polygon.ldat[3]) / static_cast<float>(n);
                    const float t = static_cast<float>(start - left) + 0.5f;
                    walk.u = polygon.ldat[2] + walk.du * t;
                    walk.v = polygon.ldat[3] + walk.dv * t;
                }
                for (int64_t done = 0; done < width; done += kSpanChunk) {
                    const size_t piece = static_cast<size_t>(std::min(kSpanChunk, width - done));
                    if (line_.size() < piece) line_.resize(piece);
                    std::fill_n(line_.begin(), piece, 0);
                    for (SpanWalk& walk : walks) {
                        if (walk.skip) continue;
                        for (size_t i = 0; i < piece; ++i) {
                            if (!walk.mask) {
                                if (line_[i] != 0) return true;
                                line_[i] = -1;
                                continue;
                            }
                            if (MaskOpaque(*walk.mask, walk.u, walk.v)) {
                                if (line_[i] != 0) return true;
                                line_[i] = 1;
                            }
                            walk.u += walk.du;
                            walk.v += walk.dv;
                        }
                    }
                }
            }
        }
        for (RasterPolygon* polygon : active) {
            for (int k = 0; k < kChannels; ++k) {
                polygon->ldat[k] += polygon->ladd[k];
                polygon->rdat[k] += polygon->radd[k];
            }
        }
        // A finished polygon never comes back, and a hit needs two active ones.
        int32_t remaining = 0;
        for (const auto& polygon : polygons)
            remaining += polygon.state != kFinished ? 1 : 0;
        if (remaining < 2) return false;
    }
    return false;
}

}  // namespace vexel
