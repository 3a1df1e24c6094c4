// A font file from untrusted bytes: opened through a protocol url (from memory), sized from
// the first byte, smooth or not from the second, and every glyph up to 128 rendered into a
// pixmap and read back.
#include <cstdint>
#include <span>

#include "font/freetype_font.h"
#include "stream/incbin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int32_t pixels = 1 + data[0] % 40;
    const int32_t style = data[1] & vexel::FONTSTYLE_SMOOTH;
    vexel::RegisterIncbin(u"fuzz font", std::span(data + 2, size - 2));
    auto font = vexel::TFreeTypeFont::Load(u"incbin::fuzz font", pixels, style);
    if (!font) return 0;
    unsigned checksum = 0;
    for (int32_t index = 0; index < font->CountGlyphs() && index < 128; ++index) {
        auto glyph = std::dynamic_pointer_cast<vexel::TFreeTypeGlyph>(font->LoadGlyph(index));
        if (!glyph || !glyph->_pixmap) continue;
        const vexel::TPixmap& pixmap = *glyph->_pixmap;
        for (int32_t y = 0; y < pixmap.height; ++y)
            for (int32_t x = 0; x < pixmap.width; ++x)
                checksum += *pixmap.PixelPtr(x, y);
    }
    for (char16_t character : std::u16string_view(u"Aa ü\u20ac"))
        checksum += font->CharToGlyph(character);
    return checksum == 0xFFFFFFFFu ? 0 : 0;
}
