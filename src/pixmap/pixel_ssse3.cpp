// Compiled with -mssse3 on x86-64 and empty elsewhere. Only intrinsics and functions of this
// unit belong here, for the same reason as in pixel_avx2.cpp.
#include "pixmap/internal/pixel_simd.h"

#if defined(__SSSE3__)

#include <tmmintrin.h>

namespace vexel {

int32_t ExpandThreeSSSE3(const uint8_t* src, uint8_t* dst, int32_t count, bool reversed) {
    // Sixteen pixels are three 16-byte loads; shifting pairs of loads together lines up each
    // group of four pixels at the start of a register for the shuffle.
    const __m128i order = reversed
                              ? _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1)
                              : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const auto* p = reinterpret_cast<const __m128i*>(src + 3 * i);
        const __m128i a = _mm_loadu_si128(p);
        const __m128i b = _mm_loadu_si128(p + 1);
        const __m128i c = _mm_loadu_si128(p + 2);
        auto* q = reinterpret_cast<__m128i*>(dst + 4 * i);
        _mm_storeu_si128(q, _mm_or_si128(_mm_shuffle_epi8(a, order), alpha));
        _mm_storeu_si128(q + 1,
                         _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), order), alpha));
        _mm_storeu_si128(q + 2,
                         _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), order), alpha));
        _mm_storeu_si128(q + 3, _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(c, 4), order), alpha));
    }
    return i;
}

}  // namespace vexel

#endif
