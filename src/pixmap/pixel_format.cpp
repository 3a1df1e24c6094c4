#include "pixmap/pixel_format.h"

#include <cstddef>
#include <cstring>

#include "pixmap/internal/pixel_simd.h"
#include "pixmap/internal/pixel_word.h"

namespace vexel {

namespace {

enum class RowExtension { SSSE3, AVX2, AVX512 };

// Whether this build has row loops for `extension` and the processor can run them.
bool ProcessorHas([[maybe_unused]] RowExtension extension) {
#if VEXEL_SSSE3_ROWS || VEXEL_AVX2_ROWS || VEXEL_AVX512_ROWS
    __builtin_cpu_init();
    switch (extension) {
        case RowExtension::SSSE3:
            return VEXEL_SSSE3_ROWS && __builtin_cpu_supports("ssse3");
        case RowExtension::AVX2:
            return VEXEL_AVX2_ROWS && __builtin_cpu_supports("avx2");
        case RowExtension::AVX512:
            return VEXEL_AVX512_ROWS && __builtin_cpu_supports("avx512f");
    }
#endif
    return false;
}

// Zero (no AVX2, no SSSE3) until set, should a row loop run before this unit is initialised.
bool avx2_allowed = ProcessorHas(RowExtension::AVX2);
bool ssse3_allowed = ProcessorHas(RowExtension::SSSE3);
bool avx512_allowed = ProcessorHas(RowExtension::AVX512);

// Each one-byte format expands by a multiplier and a constant: v * mul | add.
template <uint32_t kMul, uint32_t kAdd>
void ExpandByte(const uint8_t* src, uint8_t* dst, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        StoreWord(dst + 4 * i, src[i] * kMul | kAdd);
}

// Three-byte pixels to RGBA words, four pixels (three source words) at a time: bytes
// r0 g0 b0 r1 | g1 b1 r2 g2 | b2 r3 g3 b3 become four words with alpha 255. BGR pixels are
// the same with red and blue exchanged afterwards.
template <bool kReversed>
void ExpandThree(const uint8_t* src, uint8_t* dst, int32_t count) {
    auto put = [](uint8_t* p, uint32_t w) {
        StoreWord(p, (kReversed ? SwapRedBlue(w) : w) | 0xFF000000u);
    };
    int32_t i = 0;
#if VEXEL_AVX2_ROWS
    if (UseAVX2()) i = ExpandThreeAVX2(src, dst, count, kReversed);
#endif
#if VEXEL_SSSE3_ROWS
    if (i == 0 && UseSSSE3()) i = ExpandThreeSSSE3(src, dst, count, kReversed);
#endif
    for (; i + 4 <= count; i += 4) {
        const uint8_t* p = src + 3 * i;
        const uint32_t w0 = LoadWord(p), w1 = LoadWord(p + 4), w2 = LoadWord(p + 8);
        uint8_t* q = dst + 4 * i;
        put(q, w0);
        put(q + 4, w0 >> 24 | w1 << 8);
        put(q + 8, w1 >> 16 | w2 << 16);
        put(q + 12, w2 >> 8);
    }
    for (; i < count; ++i) {
        const uint8_t* p = src + 3 * i;
        put(dst + 4 * i, p[0] | p[1] << 8 | p[2] << 16);
    }
}

// Exchanges red and blue of every pixel; src may equal dst. On x86-64 four pixels at a
// time: swapping the 16-bit halves of each word brings bytes 2 and 0 to positions 0 and 2,
// and green and alpha are taken from the word as it was.
void SwapRow(const uint8_t* src, uint8_t* dst, int32_t count) {
    int32_t i = 0;
#if VEXEL_AVX2_ROWS
    if (UseAVX2()) return SwapRowAVX2(src, dst, count);
#endif
#if VEXEL_SSE2
    const __m128i odd = _mm_set1_epi32(static_cast<int32_t>(0xFF00FF00u));
    for (; i + 4 <= count; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        const __m128i halves = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                         _mm_or_si128(_mm_and_si128(v, odd), _mm_andnot_si128(odd, halves)));
    }
#endif
    for (; i < count; ++i)
        StoreWord(dst + 4 * i, SwapRedBlue(LoadWord(src + 4 * i)));
}

// One byte of each RGBA pixel: red 0, green 1, blue 2, alpha 3.
template <int kByte>
void PackByte(const uint8_t* src, uint8_t* dst, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = src[4 * i + kByte];
}

void PackAverage(const uint8_t* src, uint8_t* dst, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 4 * i;
        dst[i] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
    }
}

void PackIntensity(const uint8_t* src, uint8_t* dst, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 4 * i;
        dst[i] = static_cast<uint8_t>((p[0] + p[1] + p[2] + p[3]) >> 2);
    }
}

// The reverse of ExpandThree: four RGBA words become three words of packed pixels.
template <bool kReversed>
void PackThree(const uint8_t* src, uint8_t* dst, int32_t count) {
    auto get = [](const uint8_t* p) {
        const uint32_t w = LoadWord(p);
        return kReversed ? SwapRedBlue(w) : w;
    };
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const uint8_t* p = src + 4 * i;
        const uint32_t in0 = get(p), in1 = get(p + 4), in2 = get(p + 8), in3 = get(p + 12);
        uint8_t* q = dst + 3 * i;
        StoreWord(q, (in0 & 0xFFFFFFu) | in1 << 24);
        StoreWord(q + 4, (in1 >> 8 & 0xFFFFu) | in2 << 16);
        StoreWord(q + 8, (in2 >> 16 & 0xFFu) | in3 << 8);
    }
    for (; i < count; ++i) {
        const uint32_t w = get(src + 4 * i);
        uint8_t* q = dst + 3 * i;
        q[0] = static_cast<uint8_t>(w);
        q[1] = static_cast<uint8_t>(w >> 8);
        q[2] = static_cast<uint8_t>(w >> 16);
    }
}

}  // namespace

bool UseAVX2() {
    return avx2_allowed;
}

void AllowAVX2(bool allowed) {
    avx2_allowed = allowed && ProcessorHas(RowExtension::AVX2);
}

bool UseAVX512() {
    return avx512_allowed;
}

void AllowAVX512(bool allowed) {
    avx512_allowed = allowed && ProcessorHas(RowExtension::AVX512);
}

bool UseSSSE3() {
    return ssse3_allowed;
}

void AllowSSSE3(bool allowed) {
    ssse3_allowed = allowed && ProcessorHas(RowExtension::SSSE3);
}

const char* PixelFormatName(int32_t format) {
    static const char* const kNames[PIXEL_FORMAT_COUNT] = {
        "PIXEL_NONE",        "PIXEL_GREY8",      "PIXEL_ALPHA8",    "PIXEL_BGR24",  "PIXEL_RGB24",
        "PIXEL_BGRA32",      "PIXEL_RGBA32",     "PIXEL_RED8",      "PIXEL_GREEN8", "PIXEL_BLUE8",
        "PIXEL_BLACKALPHA8", "PIXEL_INTENSITY8", "PIXEL_LUMINANCE8"};
    return format > 0 && format < PIXEL_FORMAT_COUNT ? kNames[format] : kNames[0];
}

void CopyPixelRow(const void* src, void* dst, int32_t format, int32_t count) {
    if (count <= 0) return;
    std::memmove(dst, src, static_cast<size_t>(count) * static_cast<size_t>(BytesPerPixel(format)));
}

void ExpandRowToRGBA(const void* src_row, void* dst_row, int32_t src_format, int32_t count) {
    const auto* src = static_cast<const uint8_t*>(src_row);
    auto* dst = static_cast<uint8_t*>(dst_row);
    if (count <= 0) return;
    switch (src_format) {
        case PIXEL_GREY8:
            return ExpandByte<0x010101u, 0xFF000000u>(src, dst, count);
        case PIXEL_ALPHA8:
            return ExpandByte<0x1000000u, 0x00FFFFFFu>(src, dst, count);
        case PIXEL_BGR24:
            return ExpandThree<true>(src, dst, count);
        case PIXEL_RGB24:
            return ExpandThree<false>(src, dst, count);
        case PIXEL_BGRA32:
            return SwapRow(src, dst, count);
        case PIXEL_RGBA32:
            std::memcpy(dst, src, static_cast<size_t>(count) * 4);
            return;
        // The single-channel colour formats carry alpha 1, not 255.
        case PIXEL_RED8:
            return ExpandByte<0x1u, 0x01000000u>(src, dst, count);
        case PIXEL_GREEN8:
            return ExpandByte<0x100u, 0x01000000u>(src, dst, count);
        case PIXEL_BLUE8:
            return ExpandByte<0x10000u, 0x01000000u>(src, dst, count);
        case PIXEL_BLACKALPHA8:
            return ExpandByte<0x1000000u, 0u>(src, dst, count);
        case PIXEL_INTENSITY8:
            return ExpandByte<0x01010101u, 0u>(src, dst, count);
        case PIXEL_LUMINANCE8:
            return ExpandByte<0x010101u, 0x01000000u>(src, dst, count);
        default:
            std::memset(dst, 0, static_cast<size_t>(count) * 4);
            return;
    }
}

void PackRowFromRGBA(const void* src_row, void* dst_row, int32_t dst_format, int32_t count) {
    const auto* src = static_cast<const uint8_t*>(src_row);
    auto* dst = static_cast<uint8_t*>(dst_row);
    if (count <= 0) return;
    switch (dst_format) {
        case PIXEL_GREY8:
            return PackAverage(src, dst, count);
        case PIXEL_ALPHA8:
            return PackByte<3>(src, dst, count);
        case PIXEL_BGR24:
            return PackThree<true>(src, dst, count);
        case PIXEL_RGB24:
            return PackThree<false>(src, dst, count);
        case PIXEL_BGRA32:
            return SwapRow(src, dst, count);
        case PIXEL_RGBA32:
            std::memcpy(dst, src, static_cast<size_t>(count) * 4);
            return;
        case PIXEL_RED8:
            return PackByte<0>(src, dst, count);
        case PIXEL_GREEN8:
            return PackByte<1>(src, dst, count);
        case PIXEL_BLUE8:
            return PackByte<2>(src, dst, count);
        case PIXEL_BLACKALPHA8:
            return PackByte<3>(src, dst, count);
        case PIXEL_INTENSITY8:
            return PackIntensity(src, dst, count);
        case PIXEL_LUMINANCE8:
            return PackAverage(src, dst, count);
        default:
            return;
    }
}

namespace {

// Through RGBA in chunks that stay in the first-level cache; kept apart so that the direct
// conversions do not pay for setting up the chunk.
void ConvertThroughRGBA(const void* src, int32_t src_format, void* dst, int32_t dst_format,
                        int32_t count) {
    constexpr int32_t kChunk = 512;
    alignas(16) uint8_t rgba[kChunk * 4];
    const auto* in = static_cast<const uint8_t*>(src);
    auto* out = static_cast<uint8_t*>(dst);
    const int32_t in_bytes = BytesPerPixel(src_format);
    const int32_t out_bytes = BytesPerPixel(dst_format);
    for (int32_t done = 0; done < count; done += kChunk) {
        const int32_t n = count - done < kChunk ? count - done : kChunk;
        ExpandRowToRGBA(in + static_cast<ptrdiff_t>(done) * in_bytes, rgba, src_format, n);
        PackRowFromRGBA(rgba, out + static_cast<ptrdiff_t>(done) * out_bytes, dst_format, n);
    }
}

}  // namespace

void ConvertPixelRow(const void* src, int32_t src_format, void* dst, int32_t dst_format,
                     int32_t count) {
    if (src_format == dst_format) return CopyPixelRow(src, dst, src_format, count);
    if (src_format == PIXEL_RGBA32) return PackRowFromRGBA(src, dst, dst_format, count);
    if (dst_format == PIXEL_RGBA32) return ExpandRowToRGBA(src, dst, src_format, count);
    ConvertThroughRGBA(src, src_format, dst, dst_format, count);
}

}  // namespace vexel
