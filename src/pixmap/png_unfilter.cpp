// Undoing PNG's row filters. Sub, Average and Paeth depend on the pixel to the left, so
// they go a pixel at a time; on x86-64 each pixel's bytes are handled together in one SSE2
// register, and Up and Sub over four-byte pixels go sixteen bytes at a time.
#include <cstdlib>
#include <cstring>

#include "pixmap/internal/pixel_word.h"
#include "pixmap/internal/png_decoding.h"

namespace vexel {

namespace {

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

uint8_t Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Byte by byte from byte `from` on, for any pixel size; `prior` may be null.
void UnfilterBytes(uint8_t filter, const uint8_t* in, const uint8_t* prior, uint8_t* out,
                   size_t from, size_t row_bytes, size_t bpp) {
    auto left = [&](size_t i) { return i >= bpp ? out[i - bpp] : 0; };
    auto up = [&](size_t i) { return prior ? prior[i] : 0; };
    auto up_left = [&](size_t i) { return prior && i >= bpp ? prior[i - bpp] : 0; };
    for (size_t i = from; i < row_bytes; ++i) {
        int predicted = 0;
        switch (filter) {
            case kSub:
                predicted = left(i);
                break;
            case kUp:
                predicted = up(i);
                break;
            case kAverage:
                predicted = (left(i) + up(i)) / 2;
                break;
            case kPaeth:
                predicted = Paeth(left(i), up(i), up_left(i));
                break;
            default:
                break;
        }
        out[i] = static_cast<uint8_t>(in[i] + predicted);
    }
}

#if VEXEL_SSE2

// One pixel of three or four bytes in the low bytes of a register, and back.
__m128i LoadPixel(const uint8_t* p, size_t bpp) {
    uint32_t word = 0;
    std::memcpy(&word, p, bpp);
    return _mm_cvtsi32_si128(static_cast<int32_t>(word));
}

void StorePixel(uint8_t* p, __m128i v, size_t bpp) {
    const auto word = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &word, bpp);
}

void UnfilterUp(const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t row_bytes) {
    size_t i = 0;
    for (; i + 16 <= row_bytes; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(a, b));
    }
    UnfilterBytes(kUp, in, prior, out, i, row_bytes, 1);
}

// Four pixels at a time: within a block the sums run as a prefix sum over 32-bit lanes,
// then the last pixel of the block before is added to each.
void UnfilterSubFour(const uint8_t* in, uint8_t* out, size_t row_bytes) {
    __m128i carry = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= row_bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
        x = _mm_add_epi8(x, _mm_slli_si128(x, 8));
        x = _mm_add_epi8(x, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);
        carry = _mm_shuffle_epi32(x, 0xFF);
    }
    UnfilterBytes(kSub, in, nullptr, out, i, row_bytes, 4);
}

void UnfilterSubThree(const uint8_t* in, uint8_t* out, size_t row_bytes) {
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + 3 <= row_bytes; i += 3) {
        a = _mm_add_epi8(LoadPixel(in + i, 3), a);
        StorePixel(out + i, a, 3);
    }
}

// The floor of (a + b) / 2 per byte: the rounded-up average less the lost low bit.
__m128i FloorAverage(__m128i a, __m128i b) {
    const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}

void UnfilterAverage(const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t row_bytes,
                     size_t bpp) {
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + bpp <= row_bytes; i += bpp) {
        const __m128i b = LoadPixel(prior + i, bpp);
        a = _mm_add_epi8(LoadPixel(in + i, bpp), FloorAverage(a, b));
        StorePixel(out + i, a, bpp);
    }
}

__m128i Absolute16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Paeth's predictor in 16-bit lanes: the neighbour (left a, above b, above-left c) nearest
// to a + b - c, preferring a, then b, on ties.
void UnfilterPaeth(const uint8_t* in, const uint8_t* prior, uint8_t* out, size_t row_bytes,
                   size_t bpp) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low_bytes = _mm_set1_epi16(0xFF);
    __m128i a = zero;
    __m128i c = zero;
    for (size_t i = 0; i + bpp <= row_bytes; i += bpp) {
        // Everything but the left pixel is known before the pixel to the left is done.
        const __m128i b = _mm_unpacklo_epi8(LoadPixel(prior + i, bpp), zero);
        const __m128i x = _mm_unpacklo_epi8(LoadPixel(in + i, bpp), zero);
        const __m128i b_c = _mm_sub_epi16(b, c);
        const __m128i pa = Absolute16(b_c);
        const __m128i a_c = _mm_sub_epi16(a, c);
        const __m128i pb = Absolute16(a_c);
        const __m128i pc = Absolute16(_mm_add_epi16(b_c, a_c));
        const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        __m128i predicted = Select(_mm_cmpeq_epi16(pb, least), b, c);
        predicted = Select(_mm_cmpeq_epi16(pa, least), a, predicted);
        a = _mm_and_si128(_mm_add_epi16(predicted, x), low_bytes);
        StorePixel(out + i, _mm_packus_epi16(a, zero), bpp);
        c = b;
    }
}

#endif

}  // namespace

bool UnfilterPngRow(uint8_t filter, const uint8_t* in, const uint8_t* prior, uint8_t* out,
                    size_t row_bytes, int bpp) {
    if (filter > kPaeth) return false;
    // Above the first row every byte is 0: Up copies and Paeth predicts the left byte.
    if (!prior && filter == kUp) filter = kNone;
    if (!prior && filter == kPaeth) filter = kSub;
    if (filter == kNone) {
        std::memmove(out, in, row_bytes);
        return true;
    }
    const auto step = static_cast<size_t>(bpp);
#if VEXEL_SSE2
    if (filter == kUp) {
        UnfilterUp(in, prior, out, row_bytes);
        return true;
    }
    // Pixels of three and four bytes; grey bytes and the first row's averages go byte by
    // byte.
    if (step >= 3 && filter == kSub) {
        if (step == 4) UnfilterSubFour(in, out, row_bytes);
        if (step == 3) UnfilterSubThree(in, out, row_bytes);
        return true;
    }
    if (step >= 3 && filter == kAverage && prior) {
        UnfilterAverage(in, prior, out, row_bytes, step);
        return true;
    }
    if (step >= 3 && filter == kPaeth) {
        UnfilterPaeth(in, prior, out, row_bytes, step);
        return true;
    }
#endif
    UnfilterBytes(filter, in, prior, out, 0, row_bytes, step);
    return true;
}

}  // namespace vexel
