// Colour keying, mirroring and scaling of whole pixmaps: the row loops, with their SSE2 and
// AVX2 forms, kept apart from the pixmap object itself.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "pixmap/internal/pixel_simd.h"
#include "pixmap/internal/pixel_word.h"
#include "pixmap/pixmap.h"

namespace vexel {

namespace {

// The pixmap itself when it is RGBA32, otherwise an RGBA32 copy held in `converted`.
const TPixmap& AsRGBA(const TPixmap& pixmap, PixmapPtr& converted) {
    if (pixmap.format == PIXEL_RGBA32) return pixmap;
    converted = pixmap.Convert(PIXEL_RGBA32);
    return *converted;
}

// The average colour of the non-key pixels around x among the three rows (null rows lie
// outside the pixmap), with alpha 0; all zero when there are none.
uint32_t KeyNeighbourAverage(const uint8_t* const rows[3], int32_t x, int32_t width, uint32_t key) {
    uint32_t n = 0, sum_r = 0, sum_g = 0, sum_b = 0;
    const int32_t first = x > 0 ? x - 1 : 0;
    const int32_t last = x + 1 < width ? x + 1 : width - 1;
    for (int r = 0; r < 3; ++r) {
        if (!rows[r]) continue;
        for (int32_t nx = first; nx <= last; ++nx) {
            const uint32_t other = LoadWord(rows[r] + 4 * nx);
            if ((other & 0xFFFFFFu) == key) continue;
            ++n;
            sum_r += other & 0xFF;
            sum_g += other >> 8 & 0xFF;
            sum_b += other >> 16 & 0xFF;
        }
    }
    if (n == 0) return 0;
    // sum * ceil(2^20 / n) >> 20 is sum div n for every sum below 2^11 and n up to 8.
    static constexpr uint32_t kReciprocal[9] = {0,      1u << 20, 524288, 349526, 262144,
                                                209716, 174763,   149797, 131072};
    const uint32_t m = kReciprocal[n];
    return (sum_r * m >> 20) | (sum_g * m >> 20) << 8 | (sum_b * m >> 20) << 16;
}

#if VEXEL_SSE2

// sum div n = (4 sum * ceil(2^14 / n)) >> 16 for every sum below 2^11 and n up to 8: with
// M n = 2^14 + e, e < n, the excess sum e / (n 2^14) stays below 1 / n. 0 for n = 0.
alignas(16) constexpr uint16_t kKeyReciprocal[9][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {16384, 16384, 16384, 16384, 16384, 16384, 16384, 16384},
    {8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192},
    {5462, 5462, 5462, 5462, 5462, 5462, 5462, 5462},
    {4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096},
    {3277, 3277, 3277, 3277, 3277, 3277, 3277, 3277},
    {2731, 2731, 2731, 2731, 2731, 2731, 2731, 2731},
    {2341, 2341, 2341, 2341, 2341, 2341, 2341, 2341},
    {2048, 2048, 2048, 2048, 2048, 2048, 2048, 2048}};

// KeyNeighbourAverage for a pixel with a neighbour on both sides and one more pixel to its
// right (x >= 1, x + 2 < width), where a missing row is a row of key pixels. The four
// pixels from x - 1 of each row are one load; each becomes (R, G, B, 1) or nothing, so the
// alpha sum is the count. The pixel at x + 2 is summed too and left out at the end.
uint32_t KeyNeighbourAverageSSE2(const uint8_t* const rows[3], int32_t x, __m128i key) {
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const __m128i one = _mm_set1_epi32(0x01000000);
    const __m128i zero = _mm_setzero_si128();
    __m128i left = zero, right = zero;  // 16-bit sums of pixels x - 1, x and x + 1, x + 2
    for (int r = 0; r < 3; ++r) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + 4 * (x - 1)));
        const __m128i rgb = _mm_and_si128(v, colour);
        const __m128i counted = _mm_andnot_si128(_mm_cmpeq_epi32(rgb, key), _mm_or_si128(rgb, one));
        left = _mm_add_epi16(left, _mm_unpacklo_epi8(counted, zero));
        right = _mm_add_epi16(right, _mm_unpackhi_epi8(counted, zero));
    }
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(left, _mm_srli_si128(left, 8)), right);
    const int count = _mm_extract_epi16(sum, 3);
    const __m128i reciprocal =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kKeyReciprocal[count]));
    const __m128i average = _mm_mulhi_epu16(_mm_slli_epi16(sum, 2), reciprocal);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(average, zero))) & 0xFFFFFFu;
}

#endif

}  // namespace

PixmapPtr ColorKeyPixmap(const TPixmap& pixmap, int32_t red, int32_t green, int32_t blue) {
    PixmapPtr converted;
    const TPixmap& source = AsRGBA(pixmap, converted);
    PixmapPtr result = NewPixmap(source.width, source.height, PIXEL_RGBA32, 4);
    // Compared as the low three bytes of each RGBA word, leaving alpha out.
    const uint32_t key = (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
    const int32_t w = source.width;
    const int32_t h = source.height;
#if VEXEL_SSE2
    const __m128i key4 = _mm_set1_epi32(static_cast<int32_t>(key));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    // Stands in for the rows above the first and below the last: key pixels count for nothing.
    const std::vector<uint32_t> key_row(static_cast<size_t>(w), key);
    const auto* outside = reinterpret_cast<const uint8_t*>(key_row.data());
#endif
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* const rows[3] = {y > 0 ? source.PixelPtr(0, y - 1) : nullptr,
                                        source.PixelPtr(0, y),
                                        y + 1 < h ? source.PixelPtr(0, y + 1) : nullptr};
        uint8_t* out = result->PixelPtr(0, y);
        auto fix = [&](int32_t x) { StoreWord(out + 4 * x, KeyNeighbourAverage(rows, x, w, key)); };
        int32_t x = 0;
#if VEXEL_SSE2
        const uint8_t* const filled[3] = {rows[0] ? rows[0] : outside, rows[1],
                                          rows[2] ? rows[2] : outside};
        // Eight pixels made opaque at a time; the key pixels among them are then fixed.
        auto opaque_keys = [&](int32_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[1] + 4 * at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * at), _mm_or_si128(v, opaque));
            return static_cast<unsigned>(
                _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(v, colour), key4))));
        };
        for (; x + 8 <= w; x += 8) {
            for (unsigned keys = opaque_keys(x) | opaque_keys(x + 4) << 4; keys != 0;
                 keys &= keys - 1) {
                const int32_t at = x + std::countr_zero(keys);
                if (at >= 1 && at + 2 < w) {
                    StoreWord(out + 4 * at, KeyNeighbourAverageSSE2(filled, at, key4));
                } else {
                    fix(at);
                }
            }
        }
#endif
        for (; x < w; ++x) {
            const uint32_t word = LoadWord(rows[1] + 4 * x);
            if ((word & 0xFFFFFFu) == key) {
                fix(x);
            } else {
                StoreWord(out + 4 * x, word | 0xFF000000u);
            }
        }
    }
    return result;
}

PixmapPtr MirrorPixmapX(const TPixmap& pixmap) {
    PixmapPtr result = NewPixmap(pixmap.width, pixmap.height, pixmap.format, 4);
    const int32_t bytes = BytesPerPixel(pixmap.format);
    for (int32_t y = 0; y < pixmap.height; ++y) {
        const uint8_t* in = pixmap.PixelPtr(0, y);
        uint8_t* out = result->PixelPtr(pixmap.width - 1, y);
        for (int32_t x = 0; x < pixmap.width; ++x, in += bytes, out -= bytes) {
            std::memcpy(out, in, static_cast<size_t>(bytes));
        }
    }
    return result;
}

PixmapPtr MirrorPixmapY(const TPixmap& pixmap) {
    PixmapPtr result = NewPixmap(pixmap.width, pixmap.height, pixmap.format, 4);
    const size_t bytes = RowBytes(pixmap.width, pixmap.format);
    for (int32_t y = 0; y < pixmap.height; ++y) {
        std::memcpy(result->PixelPtr(0, pixmap.height - 1 - y), pixmap.PixelPtr(0, y), bytes);
    }
    return result;
}

namespace {

// One source row blended horizontally for every output column, as floats: for channel k of
// column x, q0 + (q1 - q0) * tx with q0, q1 the channel at the column's two source pixels.
// These are exactly the "top" and "bottom" values of the bilinear blend, so each source row
// is blended once and shared by the output rows that use it. The columns clamped at either
// edge (tx 0, no right pixel) come first and last; those in between, [first, last), have
// both pixels.
struct ScaleColumns {
    std::vector<int32_t> offset;  // byte offset of the left source pixel in the row
    std::vector<float> fraction;  // tx, four times per column to match the channels
    int32_t first = 0;
    int32_t last = 0;
};

ScaleColumns ColumnsFor(int32_t source_width, int32_t new_width) {
    const float xs = static_cast<float>(source_width) / static_cast<float>(new_width);
    ScaleColumns columns;
    columns.offset.resize(static_cast<size_t>(new_width));
    columns.fraction.resize(static_cast<size_t>(new_width) * 4);
    for (int32_t x = 0; x < new_width; ++x) {
        const float fx = (static_cast<float>(x) + 0.5f) * xs - 0.5f;
        int32_t ix = static_cast<int32_t>(std::floor(fx));
        float tx = fx - static_cast<float>(ix);
        // fx grows with x, so the clamped columns sit at the two ends.
        if (ix < 0) {
            ix = 0, tx = 0, columns.first = x + 1;
        } else if (ix >= source_width - 1) {
            ix = source_width - 1, tx = 0;
        } else {
            columns.last = x + 1;
        }
        columns.offset[x] = ix * 4;
        std::fill_n(&columns.fraction[4 * static_cast<size_t>(x)], 4, tx);
    }
    columns.last = std::max(columns.last, columns.first);
    return columns;
}

// A clamped column blends its pixel with itself by 0, which leaves the pixel as it is.
void BlendRow(const uint8_t* row, const ScaleColumns& columns, float* out) {
    const auto count = static_cast<int32_t>(columns.offset.size());
    auto copy_pixel = [&](int32_t x) {
        std::copy_n(row + columns.offset[x], 4, out + 4 * static_cast<ptrdiff_t>(x));
    };
    for (int32_t x = 0; x < columns.first; ++x)
        copy_pixel(x);
    for (int32_t x = columns.last; x < count; ++x)
        copy_pixel(x);
#if VEXEL_AVX512_ROWS
    if (UseAVX512()) {
        return BlendColumnsAVX512(row, columns.offset.data(), columns.fraction.data(),
                                  columns.first, columns.last, out);
    }
#endif
#if VEXEL_AVX2_ROWS
    if (UseAVX2()) {
        return BlendColumnsAVX2(row, columns.offset.data(), columns.fraction.data(), columns.first,
                                columns.last, out);
    }
#endif
    for (int32_t x = columns.first; x < columns.last; ++x) {
        const uint8_t* q0 = row + columns.offset[x];
        const uint8_t* q1 = q0 + 4;
        const float* tx = &columns.fraction[4 * static_cast<size_t>(x)];
        float* o = out + 4 * static_cast<ptrdiff_t>(x);
        for (int k = 0; k < 4; ++k) {
            const float left = q0[k];
            o[k] = left + (static_cast<float>(q1[k]) - left) * tx[k];
        }
    }
}

// value = top + (bottom - top) * ty, truncated, kept to its low byte.
void BlendRows(const float* top, const float* bottom, float ty, uint8_t* out, int32_t count) {
#if VEXEL_AVX512_ROWS
    if (UseAVX512()) return BlendRowsAVX512(top, bottom, ty, out, count);
#endif
#if VEXEL_AVX2_ROWS
    if (UseAVX2()) return BlendRowsAVX2(top, bottom, ty, out, count);
#endif
    for (int32_t i = 0; i < count; ++i) {
        const float value = top[i] + (bottom[i] - top[i]) * ty;
        out[i] = static_cast<uint8_t>(static_cast<int32_t>(value));
    }
}

}  // namespace

PixmapPtr ScalePixmap(const TPixmap& pixmap, int32_t new_width, int32_t new_height) {
    // A zero size would divide by zero below and yields no image at all.
    if (new_width <= 0 || new_height <= 0 || pixmap.width <= 0 || pixmap.height <= 0) {
        return nullptr;
    }
    PixmapPtr converted;
    const TPixmap& source = AsRGBA(pixmap, converted);
    PixmapPtr result = NewPixmap(new_width, new_height, pixmap.format, 4);
    const float ys = static_cast<float>(source.height) / static_cast<float>(new_height);
    const ScaleColumns columns = ColumnsFor(source.width, new_width);

    // Two blended source rows (top and bottom) and the index of the source row each holds.
    const size_t floats = static_cast<size_t>(new_width) * 4;
    std::vector<float> blended(2 * floats);
    float* top = blended.data();
    float* bottom = blended.data() + floats;
    int32_t top_row = -1, bottom_row = -1;
    auto blended_row = [&](int32_t want, float*& slot, int32_t& slot_row, float* other,
                           int32_t other_row) {
        if (slot_row == want) return;
        if (other_row == want) {
            std::copy(other, other + floats, slot);
        } else {
            BlendRow(source.PixelPtr(0, want), columns, slot);
        }
        slot_row = want;
    };

    std::vector<uint8_t> work(result->format == PIXEL_RGBA32 ? 0 : floats);
    for (int32_t y = 0; y < new_height; ++y) {
        const float fy = (static_cast<float>(y) + 0.5f) * ys - 0.5f;
        int32_t iy = static_cast<int32_t>(std::floor(fy));
        float ty = fy - static_cast<float>(iy);
        int32_t next = iy + 1;
        if (iy < 0) {
            iy = 0, ty = 0, next = 0;
        } else if (iy >= source.height - 1) {
            iy = source.height - 1, ty = 0, next = iy;
        }
        // Moving down one source row: the old bottom becomes the new top.
        if (iy == bottom_row && iy != top_row) {
            std::swap(top, bottom);
            std::swap(top_row, bottom_row);
        }
        blended_row(iy, top, top_row, bottom, bottom_row);
        blended_row(next, bottom, bottom_row, top, top_row);

        uint8_t* out = work.empty() ? result->PixelPtr(0, y) : work.data();
        BlendRows(top, bottom, ty, out, static_cast<int32_t>(floats));
        if (!work.empty()) {
            PackRowFromRGBA(work.data(), result->PixelPtr(0, y), result->format, new_width);
        }
    }
    return result;
}

}  // namespace vexel
