#pragma once

#include <cstdint>
#include <string>

#include "pixmap/internal/pixel_simd.h"
#include "pixmap/pixmap.h"
#include "runtime/string.h"
#include "support/test_support.h"

namespace vexel::testing {

// The 7x5 picture behind the fixtures in data/ (data/picture.py writes the same one).
inline constexpr int32_t kPictureWidth = 7;
inline constexpr int32_t kPictureHeight = 5;

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

inline Rgba PicturePixel(int32_t x, int32_t y) {
    return {uint8_t(x * 37 + y * 11), uint8_t(x * 5 + y * 53), uint8_t(x * y * 17 + 60),
            uint8_t(x * 31 + y * 47 + 10)};
}

inline uint8_t PictureGrey(int32_t x, int32_t y) {
    if ((x == 1 && y == 1) || (x == 4 && y == 3) || (x == 6 && y == 0)) return 85;
    return uint8_t(x * 36 + y * 7);
}

inline uint8_t PictureBit(int32_t x, int32_t y) {
    return (x + 2 * y) % 3 == 0 ? 255 : 0;
}

// Runs `body` with the AVX-512 row loops, with the AVX2 ones, with the SSSE3 ones and with
// none (a path the processor lacks runs as the next one down), so that every path is held to
// the same expectations.
template <typename Body>
void WithEachRowPath(Body body) {
    for (const int path : {0, 1, 2, 3}) {
        AllowAVX512(path == 0);
        AllowAVX2(path <= 1);
        AllowSSSE3(path <= 2);
        SCOPED_TRACE(UseAVX512()  ? "AVX-512 rows"
                     : UseAVX2()  ? "AVX2 rows"
                     : UseSSSE3() ? "SSSE3 rows"
                                  : "plain rows");
        body();
    }
    AllowAVX512(true);
    AllowAVX2(true);
    AllowSSSE3(true);
}

// Pixel (x, y) of any pixmap expanded to RGBA.
inline Rgba PixelOf(const TPixmap& pixmap, int32_t x, int32_t y) {
    uint8_t rgba[4];
    ExpandRowToRGBA(pixmap.PixelPtr(x, y), rgba, pixmap.format, 1);
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

// Random bytes in RGBA32: every channel blends between values far apart, and the picture
// compresses to nothing less than about its own size.
inline PixmapPtr Noise(int32_t width, int32_t height, uint32_t seed) {
    PixmapPtr picture = NewPixmap(width, height, PIXEL_RGBA32, 4);
    for (int32_t i = 0; i < picture->capacity; ++i) {
        seed = seed * 1103515245u + 12345u;
        picture->pixels[i] = uint8_t(seed >> 24);
    }
    return picture;
}

inline String DataPath(const std::string& name) {
    return FromUtf8(SourcePath("tests/pixmap/data/" + name));
}

}  // namespace vexel::testing

namespace vexel::testing {
inline std::ostream& operator<<(std::ostream& out, const Rgba& p) {
    return out << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a)
               << ")";
}
}  // namespace vexel::testing
