// Compiled with -mavx2 on x86-64 and empty elsewhere. Only intrinsics and functions of this
// unit belong here: an inline function shared with other units could be emitted with AVX2
// instructions and then be picked by the linker for processors without them.
#include "pixmap/internal/pixel_simd.h"

#if defined(__AVX2__)

#include <immintrin.h>

namespace vexel {

void SwapRowAVX2(const uint8_t* src, uint8_t* dst, int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                           1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_shuffle_epi8(v, order));
    }
    for (; i < count; ++i) {
        const uint8_t red = src[4 * i], green = src[4 * i + 1], blue = src[4 * i + 2];
        const uint8_t alpha = src[4 * i + 3];
        dst[4 * i] = blue, dst[4 * i + 1] = green, dst[4 * i + 2] = red, dst[4 * i + 3] = alpha;
    }
}

void SwapRowStreamingAVX2(const uint8_t* src, uint8_t* dst, int32_t count) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                           1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    // Single pixels up to a 32-byte boundary of the output (all of them when the output is
    // not aligned to its pixels), whole blocks stored around the cache, single pixels after.
    int32_t i = 0;
    while (i < count && (reinterpret_cast<uintptr_t>(dst + 4 * i) & 31) != 0)
        ++i;
    SwapRowAVX2(src, dst, i);
    for (; i + 8 <= count; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_stream_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_shuffle_epi8(v, order));
    }
    _mm_sfence();
    SwapRowAVX2(src + 4 * i, dst + 4 * i, count - i);
}

int32_t ExpandThreeAVX2(const uint8_t* src, uint8_t* dst, int32_t count, bool reversed) {
    // Each 128-bit lane takes four pixels (twelve bytes) from its own load; the loads of one
    // step cover bytes 0..15 and 12..27, and later loads must stay within the row, so a step
    // of eight pixels needs ten left.
    const __m256i order =
        reversed ? _mm256_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1, 2, 1, 0,
                                    -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1)
                 : _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2,
                                    -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
    int32_t i = 0;
    for (; i + 10 <= count; i += 8) {
        const uint8_t* p = src + 3 * i;
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
        const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i),
                            _mm256_or_si256(_mm256_shuffle_epi8(both, order), alpha));
    }
    return i;
}

void BlendColumnsAVX2(const uint8_t* row, const int32_t* offset, const float* fraction,
                      int32_t begin, int32_t end, float* out) {
    int32_t x = begin;
    for (; x + 2 <= end; x += 2) {
        // Each column's left and right pixel as one [left | right] vector, then the two
        // columns' lefts and rights gathered by swapping 128-bit halves.
        auto pixels = [&](int32_t column) {
            const __m128i pair =
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + offset[column]));
            return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(pair));
        };
        const __m256 a = pixels(x);
        const __m256 b = pixels(x + 1);
        const __m256 left = _mm256_permute2f128_ps(a, b, 0x20);
        const __m256 right = _mm256_permute2f128_ps(a, b, 0x31);
        const __m256 t = _mm256_loadu_ps(fraction + 4 * x);
        _mm256_storeu_ps(out + 4 * x,
                         _mm256_add_ps(left, _mm256_mul_ps(_mm256_sub_ps(right, left), t)));
    }
    if (x < end) {
        const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + offset[x]));
        const __m256 pair = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(a));
        const __m128 left = _mm256_castps256_ps128(pair);
        const __m128 right = _mm256_extractf128_ps(pair, 1);
        const __m128 t = _mm_loadu_ps(fraction + 4 * x);
        _mm_storeu_ps(out + 4 * x, _mm_add_ps(left, _mm_mul_ps(_mm_sub_ps(right, left), t)));
    }
}

void BlendRowsAVX2(const float* top, const float* bottom, float ty, uint8_t* out, int32_t count) {
    const __m256 t = _mm256_set1_ps(ty);
    // Packing works within 128-bit lanes; this puts the 32-bit groups back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    auto blend = [&](int32_t i) {
        const __m256 a = _mm256_loadu_ps(top + i);
        const __m256 b = _mm256_loadu_ps(bottom + i);
        return _mm256_cvttps_epi32(_mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(b, a), t)));
    };
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i low = _mm256_packs_epi32(blend(i), blend(i + 8));
        const __m256i high = _mm256_packs_epi32(blend(i + 16), blend(i + 24));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(low, high), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bytes);
    }
    for (; i < count; ++i) {
        out[i] = static_cast<uint8_t>(static_cast<int32_t>(top[i] + (bottom[i] - top[i]) * ty));
    }
}

}  // namespace vexel

#endif
