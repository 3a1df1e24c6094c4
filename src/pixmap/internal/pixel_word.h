#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pixmap/pixel_format.h"

// SSE2 is part of every x86-64 processor; the row loops use it there and fall back to plain
// word loops elsewhere.
#if defined(__x86_64__) || defined(_M_X64)
#define VEXEL_SSE2 1
#include <emmintrin.h>
#else
#define VEXEL_SSE2 0
#endif

namespace vexel {

// An RGBA32 (or BGRA32) pixel read as a little-endian word: the first byte in bits 0-7, the
// fourth (alpha) in bits 24-31. Unaligned access is fine.
inline uint32_t LoadWord(const uint8_t* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

inline void StoreWord(uint8_t* p, uint32_t w) {
    std::memcpy(p, &w, 4);
}

// Exchanges bytes 0 and 2: BGRA <-> RGBA.
inline uint32_t SwapRedBlue(uint32_t w) {
    return (w & 0xFF00FF00u) | ((w >> 16) & 0xFFu) | ((w & 0xFFu) << 16);
}

// Bytes of one row's pixels, without the padding up to the pitch.
inline size_t RowBytes(int32_t width, int32_t format) {
    return static_cast<size_t>(width) * static_cast<size_t>(BytesPerPixel(format));
}

}  // namespace vexel
