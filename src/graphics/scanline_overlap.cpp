#include "graphics/internal/scanline_overlap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // truncate(y) of each vertex, worked out once when the polygon is loaded.
    std::array<int32_t, kMaxVertices> rows{};
    int32_t Row(int32_t index) const { return rows[static_cast<size_t>(index)]; }
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

    for (int32_t i = 0; i < polygon.count; ++i)
        polygon.rows[static_cast<size_t>(i)] = TruncateCoordinate(polygon.Vertex(i)[1]);
    int32_t top_index = 0;
    for (int32_t i = 1; i < polygon.count; ++i) {
        if (polygon.Row(i) < polygon.Row(top_index)) top_index = i;
    }
    polygon.top = polygon.Row(top_index);
    polygon.Left = polygon.Right = top_index;
    polygon.state = kNotStarted;
}

// The polygons being rasterised, in the order they started: at most two, kept without
// allocating.
class ActiveList {
  public:
    void push_back(RasterPolygon* polygon) { polygons_[size_++] = polygon; }
    void Remove(RasterPolygon* polygon) {
        size_t kept = 0;
        for (size_t i = 0; i < size_; ++i) {
            if (polygons_[i] != polygon) polygons_[kept++] = polygons_[i];
        }
        size_ = kept;
    }
    size_t size() const { return size_; }
    RasterPolygon* operator[](size_t i) const { return polygons_[i]; }
    RasterPolygon* const* begin() const { return polygons_.data(); }
    RasterPolygon* const* end() const { return polygons_.data() + size_; }

  private:
    std::array<RasterPolygon*, 2> polygons_{};
    size_t size_ = 0;
};

// Moves one edge of `polygon` on to the vertex it heads for once scanline `y` has reached the
// vertex it was heading to. Returns false when the edge has nowhere left to go, which finishes
// the polygon.
bool WalkEdge(RasterPolygon& polygon, int32_t y, bool left, ActiveList& active) {
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

// The row a texture coordinate v samples, clamped to the mask, as MaskOpaque reads it.
int32_t MaskRow(const CollisionMask& mask, float v) {
    if (!(v >= 0)) v = 0;
    if (v > 1) v = 1;
    return std::min(static_cast<int32_t>(v * static_cast<float>(mask.height)), mask.height - 1);
}

const uint8_t* MaskRowPixels(const CollisionMask& mask, int32_t row) {
    return mask.pixels + static_cast<size_t>(row) * static_cast<size_t>(mask.pitch / 4) * 4;
}

bool PixelOpaque(const uint8_t* row, int32_t column) {
    uint32_t word;
    std::memcpy(&word, row + static_cast<size_t>(column) * 4, sizeof word);
    return (word & 0x80000000u) != 0;
}

bool MaskOpaque(const CollisionMask& mask, float u, float v) {
    if (!mask.pixels || mask.width <= 0 || mask.height <= 0) return false;
    if (!(u >= 0)) u = 0;
    if (u > 1) u = 1;
    const int32_t column =
        std::min(static_cast<int32_t>(u * static_cast<float>(mask.width)), mask.width - 1);
    return PixelOpaque(MaskRowPixels(mask, MaskRow(mask, v)), column);
}

// What one polygon's walk samples along a span of n columns, when that can be said without
// sampling column by column: every column opaque (no mask), none, or one mask row read at
// consecutive columns first, first + 1, ..., clamped to the row's ends.
struct ColumnRun {
    enum Kind { kOpaque, kClear, kRow } kind = kOpaque;
    const CollisionMask* mask = nullptr;
    const uint8_t* row = nullptr;
    int64_t first = 0;
    int32_t width = 0;
};

// Fills `run` and returns true when the walk's columns are consecutive. The walk adds du to u
// once per column in single precision; that equals the exact sum u + i × du only while no sum
// is rounded, which holds when u and du are multiples of one power of two small enough for
// every sum to fit the 24-bit significand. With du = 1 / width (a power of two) the column of
// step i is then floor(u × width) + i before clamping, exactly as the walk would find it.
bool ConsecutiveColumns(const SpanWalk& walk, int64_t n, ColumnRun& run) {
    if (!walk.mask) {
        run.kind = ColumnRun::kOpaque;
        return true;
    }
    const CollisionMask& mask = *walk.mask;
    if (!mask.pixels || mask.width <= 0 || mask.height <= 0) {
        run.kind = ColumnRun::kClear;
        return true;
    }
    const int32_t width = mask.width;
    if ((width & (width - 1)) != 0 || walk.dv != 0 || walk.du != 1.0f / static_cast<float>(width)) {
        return false;
    }
    // u must be a multiple of grain = du / 2, and |u| + n × du below 2^24 grains.
    const double grains = static_cast<double>(walk.u) * 2.0 * width;
    if (!(std::fabs(grains) + 2.0 * static_cast<double>(n) < 16777216.0)) return false;
    const auto whole = static_cast<int64_t>(grains);
    if (static_cast<double>(whole) != grains) return false;
    run.kind = ColumnRun::kRow;
    run.mask = &mask;
    run.row = MaskRowPixels(mask, MaskRow(mask, walk.v));
    run.first = whole >= 0 ? whole / 2 : -((1 - whole) / 2);  // floor(grains / 2)
    run.width = width;
    return true;
}

// Any pixel opaque in both of two rows of `count` pixels: the words ANDed four pixels to a
// vector (two to a 64-bit word without SSE2), sixteen pixels ORed together before one test.
bool AnyBothOpaque(const uint8_t* a, const uint8_t* b, int64_t count) {
    int64_t i = 0;
#if defined(__SSE2__)
    const auto both = [&](int64_t pixel) {
        return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + pixel * 4)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + pixel * 4)));
    };
    const auto any_top_bit = [](__m128i v) { return _mm_movemask_ps(_mm_castsi128_ps(v)) != 0; };
    for (; i + 16 <= count; i += 16) {
        const __m128i any = _mm_or_si128(_mm_or_si128(both(i), both(i + 4)),
                                         _mm_or_si128(both(i + 8), both(i + 12)));
        if (any_top_bit(any)) return true;
    }
    for (; i + 4 <= count; i += 4) {
        if (any_top_bit(both(i))) return true;
    }
#else
    constexpr uint64_t kTopBits = 0x8000000080000000u;
    const auto word_and = [&](int64_t pixel) {
        uint64_t wa, wb;
        std::memcpy(&wa, a + pixel * 4, 8);
        std::memcpy(&wb, b + pixel * 4, 8);
        return wa & wb;
    };
    for (; i + 2 <= count; i += 2) {
        if ((word_and(i) & kTopBits) != 0) return true;
    }
#endif
    for (; i < count; ++i) {
        if (PixelOpaque(a, static_cast<int32_t>(i)) && PixelOpaque(b, static_cast<int32_t>(i)))
            return true;
    }
    return false;
}

// The word test of spans whose two runs keep their kinds and first columns from scanline to
// scanline; only the mask rows change (SetRows).
class WordSpan {
  public:
    // Cuts the span of n columns where either run stops being clamped to its first column or
    // starts being clamped to its last; between the cuts each run is constant or consecutive.
    WordSpan(const ColumnRun& a, const ColumnRun& b, int64_t n) : a_(a), b_(b) {
        cuts_[0] = 0;
        cuts_[1] = n;
        count_ = 2;
        for (const ColumnRun* run : {&a_, &b_}) {
            if (run->kind != ColumnRun::kRow) continue;
            cuts_[count_++] = std::clamp<int64_t>(-run->first, 0, n);
            cuts_[count_++] = std::clamp<int64_t>(run->width - run->first, 0, n);
        }
        for (int i = 1; i < count_; ++i) {  // at most six: insertion sort
            for (int j = i; j > 0 && cuts_[j] < cuts_[j - 1]; --j)
                std::swap(cuts_[j], cuts_[j - 1]);
        }
    }

    const ColumnRun& First() const { return a_; }
    const ColumnRun& Second() const { return b_; }
    void SetRows(const uint8_t* a, const uint8_t* b) {
        a_.row = a;
        b_.row = b;
    }

    // Whether some column of the span is opaque in both runs.
    bool AnyCommonOpaque() const {
        if (a_.kind == ColumnRun::kClear || b_.kind == ColumnRun::kClear) return false;
        for (int i = 0; i + 1 < count_; ++i) {
            if (cuts_[i] < cuts_[i + 1] && SegmentHit(cuts_[i], cuts_[i + 1])) return true;
        }
        return false;
    }

  private:
    // The column of `run` at step i when it is clamped there, or -1 when it is consecutive
    // from i on up to the next cut.
    static int64_t ClampedColumn(const ColumnRun& run, int64_t i) {
        const int64_t column = run.first + i;
        if (column < 0) return 0;
        if (column >= run.width) return run.width - 1;
        return -1;
    }

    // Any opaque pixel among `count` consecutive pixels of a row.
    static bool AnyOpaque(const uint8_t* pixels, int64_t count) {
        for (int64_t i = 0; i < count; ++i) {
            if (PixelOpaque(pixels, static_cast<int32_t>(i))) return true;
        }
        return false;
    }

    // One run is clamped (or all opaque) over [begin, end): it is one pixel, so the segment
    // hits when that pixel is opaque and the other run has any opaque pixel there.
    static bool ConstantAgainst(const ColumnRun& constant, int64_t column, const ColumnRun& other,
                                int64_t begin, int64_t end) {
        if (constant.kind == ColumnRun::kRow &&
            !PixelOpaque(constant.row, static_cast<int32_t>(column))) {
            return false;
        }
        if (other.kind == ColumnRun::kOpaque) return true;
        const int64_t other_column = ClampedColumn(other, begin);
        if (other_column >= 0) return PixelOpaque(other.row, static_cast<int32_t>(other_column));
        return AnyOpaque(other.row + (other.first + begin) * 4, end - begin);
    }

    bool SegmentHit(int64_t begin, int64_t end) const {
        const int64_t column_a = a_.kind == ColumnRun::kRow ? ClampedColumn(a_, begin) : 0;
        const int64_t column_b = b_.kind == ColumnRun::kRow ? ClampedColumn(b_, begin) : 0;
        if (a_.kind != ColumnRun::kRow || column_a >= 0) {
            return ConstantAgainst(a_, column_a, b_, begin, end);
        }
        if (b_.kind != ColumnRun::kRow || column_b >= 0) {
            return ConstantAgainst(b_, column_b, a_, begin, end);
        }
        return AnyBothOpaque(a_.row + (a_.first + begin) * 4, b_.row + (b_.first + begin) * 4,
                             end - begin);
    }

    ColumnRun a_;
    ColumnRun b_;
    std::array<int64_t, 6> cuts_{};
    int count_ = 0;
};

// The word test set up for one scanline's span, and what it was set up for. An unrotated quad
// keeps its span and texture columns from scanline to scanline, with v the same all along the
// span, so a later scanline that matches only needs its own mask rows.
struct WordSpanPlan {
    std::array<int32_t, 4> bounds{};
    std::array<float, 4> columns{};
    std::optional<WordSpan> test;
};

// The mask row a run reads on the current scanline of `polygon`, where v is the same along
// the whole span.
const uint8_t* RunRow(const ColumnRun& run, const RasterPolygon& polygon) {
    if (run.kind != ColumnRun::kRow) return nullptr;
    return MaskRowPixels(*run.mask, MaskRow(*run.mask, polygon.ldat[3]));
}

// Whether the two active polygons share an opaque column on the current scanline.
bool SpanHit(const RasterPolygon& a, const RasterPolygon& b, bool word_spans, WordSpanPlan& plan,
             std::vector<int32_t>& line) {
    // The columns both polygons cover on this scanline, [start, end).
    const int32_t l1 = TruncateCoordinate(a.ldat[0]);
    const int32_t r1 = TruncateCoordinate(a.rdat[0]);
    const int32_t l2 = TruncateCoordinate(b.ldat[0]);
    const int32_t r2 = TruncateCoordinate(b.rdat[0]);
    const int64_t start = std::max(l1, l2);
    const int64_t width = static_cast<int64_t>(std::min(r1, r2)) - start;
    if (!(l2 < r1 && r2 > l1 && width > 0)) return false;

    const std::array<int32_t, 4> bounds = {l1, r1, l2, r2};
    const std::array<float, 4> columns = {a.ldat[2], a.rdat[2], b.ldat[2], b.rdat[2]};
    if (plan.test && plan.bounds == bounds && plan.columns == columns && a.ldat[3] == a.rdat[3] &&
        b.ldat[3] == b.rdat[3]) {
        plan.test->SetRows(RunRow(plan.test->First(), a), RunRow(plan.test->Second(), b));
        return plan.test->AnyCommonOpaque();
    }
    plan.test.reset();

    std::array<SpanWalk, 2> walks;
    for (size_t p = 0; p < walks.size(); ++p) {
        const RasterPolygon& polygon = p == 0 ? a : b;
        SpanWalk& walk = walks[p];
        walk.mask = polygon.texture;
        if (!walk.mask) continue;
        const int32_t left = TruncateCoordinate(polygon.ldat[0]);
        const int64_t n = static_cast<int64_t>(TruncateCoordinate(polygon.rdat[0])) - left;
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

    std::array<ColumnRun, 2> runs;
    if (word_spans && !walks[0].skip && !walks[1].skip &&
        ConsecutiveColumns(walks[0], width, runs[0]) &&
        ConsecutiveColumns(walks[1], width, runs[1])) {
        plan.test.emplace(runs[0], runs[1], width);
        plan.bounds = bounds;
        plan.columns = columns;
        return plan.test->AnyCommonOpaque();
    }

    for (int64_t done = 0; done < width; done += kSpanChunk) {
        const size_t piece = static_cast<size_t>(std::min(kSpanChunk, width - done));
        if (line.size() < piece) line.resize(piece);
        std::fill_n(line.begin(), piece, 0);
        for (SpanWalk& walk : walks) {
            if (walk.skip) continue;
            for (size_t i = 0; i < piece; ++i) {
                if (!walk.mask) {
                    if (line[i] != 0) return true;
                    line[i] = -1;
                    continue;
                }
                if (MaskOpaque(*walk.mask, walk.u, walk.v)) {
                    if (line[i] != 0) return true;
                    line[i] = 1;
                }
                walk.u += walk.du;
                walk.v += walk.dv;
            }
        }
    }
    return false;
}

// An image quad drawn unturned, unmirrored and unscaled in y direction's sense of order:
// corners (x0, y0), (x1, y0), (x1, y1), (x0, y1) with texture coordinates (0, 0), (1, 0),
// (1, 1), (0, 1), x0 < x1, y0 < y1, an area of at least one pixel (so the walk keeps its
// vertex order) and coordinates small enough to truncate plainly. The walk rasterises such a
// box with edges that never move sideways: it covers rows [top, bottom) and columns
// [left, right) on each, u runs from 0 to 1 across the span and v is the same along it.
struct Box {
    int32_t top = 0, bottom = 0, left = 0, right = 0;
    const CollisionMask* mask = nullptr;
};

bool AsBox(const OverlapPolygon& polygon, Box& box) {
    if (polygon.count != 4) return false;
    const float* d = polygon.xyuv;
    constexpr float kUv[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    for (int i = 0; i < 4; ++i) {
        if (d[i * 4 + 2] != kUv[i * 2] || d[i * 4 + 3] != kUv[i * 2 + 1]) return false;
    }
    const float x0 = d[0], y0 = d[1], x1 = d[4], y1 = d[9];
    if (d[5] != y0 || d[8] != x1 || d[12] != x0 || d[13] != y1) return false;
    constexpr float kLimit = 4194304.0f;  // 2^22
    if (!(x0 > -kLimit && x1 < kLimit && y0 > -kLimit && y1 < kLimit)) return false;
    if (!(x0 < x1 && y0 < y1 && (x1 - x0) * (y1 - y0) >= 1)) return false;
    box.top = TruncateCoordinate(y0);
    box.bottom = TruncateCoordinate(y1);
    box.left = TruncateCoordinate(x0);
    box.right = TruncateCoordinate(x1);
    box.mask = polygon.mask;
    return true;
}

// The v that the walk's edges carry on scanline `y` of a box: half a step in on its top row,
// then one step more per row, added in single precision as the walk adds them.
float BoxV(const Box& box, int32_t y) {
    const float step = 1.0f / static_cast<float>(box.bottom - box.top);
    float v = 0 + step * 0.5f;
    for (int32_t row = box.top; row < y; ++row)
        v += step;
    return v;
}

// The walk of two boxes whose spans read consecutive mask columns, which is most pairs of
// unturned sprites: one word test set up once, then only the mask rows change from scanline
// to scanline. Returns false in `handled` for pairs the general walk has to take.
bool BoxesOverlap(const Box& a, const Box& b, bool& handled) {
    handled = false;
    if (a.bottom - a.top < 1 || b.bottom - b.top < 1) return false;
    const int64_t start = std::max(a.left, b.left);
    const int64_t width = static_cast<int64_t>(std::min(a.right, b.right)) - start;
    const int32_t first_row = std::max(a.top, b.top);
    const int32_t end_row = std::min(a.bottom, b.bottom);
    if (!(b.left < a.right && b.right > a.left && width > 0) || first_row >= end_row) {
        handled = true;
        return false;
    }
    std::array<ColumnRun, 2> runs;
    std::array<float, 2> v{}, step{};
    for (size_t p = 0; p < 2; ++p) {
        const Box& box = p == 0 ? a : b;
        SpanWalk walk;
        walk.mask = box.mask;
        const int64_t n = static_cast<int64_t>(box.right) - box.left;
        if (walk.mask) {
            walk.du = (1.0f - 0.0f) / static_cast<float>(n);
            walk.u = 0 + walk.du * (static_cast<float>(start - box.left) + 0.5f);
        }
        if (!ConsecutiveColumns(walk, width, runs[p])) return false;
        v[p] = BoxV(box, first_row);
        step[p] = 1.0f / static_cast<float>(box.bottom - box.top);
    }
    handled = true;
    const auto row = [](const ColumnRun& run, float at) {
        return run.kind == ColumnRun::kRow ? MaskRowPixels(*run.mask, MaskRow(*run.mask, at))
                                           : nullptr;
    };
    // Both spans inside their masks, which is every pair whose overlap lies within both
    // pictures: one row against the other, nothing clamped.
    const auto inside = [width](const ColumnRun& run) {
        return run.kind == ColumnRun::kRow && run.first >= 0 && run.first + width <= run.width;
    };
    if (inside(runs[0]) && inside(runs[1])) {
        for (int32_t y = first_row; y < end_row; ++y) {
            if (AnyBothOpaque(row(runs[0], v[0]) + runs[0].first * 4,
                              row(runs[1], v[1]) + runs[1].first * 4, width)) {
                return true;
            }
            v[0] += step[0];
            v[1] += step[1];
        }
        return false;
    }
    WordSpan test(runs[0], runs[1], width);
    for (int32_t y = first_row; y < end_row; ++y) {
        test.SetRows(row(runs[0], v[0]), row(runs[1], v[1]));
        if (test.AnyCommonOpaque()) return true;
        v[0] += step[0];
        v[1] += step[1];
    }
    return false;
}

}  // namespace

bool ScanlineOverlap::PolygonsOverlap(const OverlapPolygon& first, const OverlapPolygon& second) {
    for (const auto* source : {&first, &second}) {
        if (source->count < 1 || source->count > kMaxVertices || !source->xyuv) return false;
    }
    Box a, b;
    if (word_spans_ && AsBox(first, a) && AsBox(second, b)) {
        bool handled;
        const bool hit = BoxesOverlap(a, b, handled);
        if (handled) return hit;
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

    ActiveList active;
    WordSpanPlan plan;
    for (int32_t y = ymin; y < ymax; ++y) {
        for (auto& polygon : polygons) {
            if (polygon.state == kFinished) continue;
            if (polygon.state == kNotStarted && polygon.top > y) continue;
            if (!WalkEdge(polygon, y, true, active) || !WalkEdge(polygon, y, false, active)) {
                polygon.state = kFinished;
                active.Remove(&polygon);
            }
        }
        if (active.size() >= 2 && SpanHit(*active[0], *active[1], word_spans_, plan, line_)) {
            return true;
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
