#pragma once

#include "runtime/cxx_standard.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexel {

// The built-in 8x16 font covers character codes 32 to 127 in cells of 8 x 16 pixels.
inline constexpr int kBuiltinFontFirstCode = 32;
inline constexpr int kBuiltinFontGlyphs = 96;
inline constexpr int kBuiltinFontCellWidth = 8;
inline constexpr int kBuiltinFontCellHeight = 16;
inline constexpr size_t kBuiltinFontBytes = 1536;

// The font's bytes, made at build time from builtin_font.txt: byte 96 * y + i holds scan line
// y (0 = top) of character 32 + i, bit j (bit 0 first) is pixel column j (0 = left), a set
// bit is a lit pixel. Every program that links the font library also finds these bytes as
// the resources "incbin::vexelfont.bin" and "incbin::gldrawtextfont.bin".
std::span<const uint8_t, kBuiltinFontBytes> BuiltinFontData();

// True when pixel (x, y) of the glyph for character code 32 + `glyph` is lit.
bool BuiltinFontPixel(int glyph, int x, int y);

}  // namespace vexel
