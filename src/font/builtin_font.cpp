#include "font/builtin_font.h"

namespace vexel {

bool BuiltinFontPixel(int glyph, int x, int y) {
    const uint8_t bits = BuiltinFontData()[static_cast<size_t>(kBuiltinFontGlyphs * y + glyph)];
    return (bits >> x) & 1u;
}

}  // namespace vexel
