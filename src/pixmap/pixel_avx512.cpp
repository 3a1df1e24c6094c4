// Compiled with -mavx512f on x86-64 and empty elsewhere. Only intrinsics and functions of
// this unit belong here, for the same reason as in pixel_avx2.cpp.
#include "pixmap/internal/pixel_simd.h"

#if defined(__AVX512F__)

#include <immintrin.h>

// GCC 12's AVX-512 conversions start from a deliberately undefined register, which its
// -Wmaybe-uninitialized then reports wherever they are inlined. Clang has no such warning.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace vexel {

void BlendColumnsAVX512(const uint8_t* row, const int32_t* offset, const float* fraction,
                        int32_t begin, int32_t end, float* out) {
    const auto pair = [&](int32_t x) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + offset[x]));
    };
    int32_t x = begin;
    for (; x + 4 <= end; x += 4) {
        // Left and right pixel of four columns, then the four left pixels and the four right
        // ones, each sixteen bytes that widen to sixteen floats.
        const __m128i ab = _mm_unpacklo_epi32(pair(x), pair(x + 1));
        const __m128i cd = _mm_unpacklo_epi32(pair(x + 2), pair(x + 3));
        const __m512 left = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_unpacklo_epi64(ab, cd)));
        const __m512 right = _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(_mm_unpackhi_epi64(ab, cd)));
        const __m512 t = _mm512_loadu_ps(fraction + 4 * x);
        _mm512_storeu_ps(out + 4 * x,
                         _mm512_add_ps(left, _mm512_mul_ps(_mm512_sub_ps(right, left), t)));
    }
    for (; x < end; ++x) {
        const uint8_t* q0 = row + offset[x];
        for (int k = 0; k < 4; ++k) {
            const float left = q0[k];
            out[4 * x + k] = left + (static_cast<float>(q0[4 + k]) - left) * fraction[4 * x + k];
        }
    }
}

void BlendRowsAVX512(const float* top, const float* bottom, float ty, uint8_t* out, int32_t count) {
    const __m512 t = _mm512_set1_ps(ty);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512 a = _mm512_loadu_ps(top + i);
        const __m512 b = _mm512_loadu_ps(bottom + i);
        const __m512i value =
            _mm512_cvttps_epi32(_mm512_add_ps(a, _mm512_mul_ps(_mm512_sub_ps(b, a), t)));
        // The values lie in 0..255, so narrowing with saturation keeps each one as it is.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm512_cvtusepi32_epi8(value));
    }
    for (; i < count; ++i) {
        out[i] = static_cast<uint8_t>(static_cast<int32_t>(top[i] + (bottom[i] - top[i]) * ty));
    }
}

}  // namespace vexel

#endif
