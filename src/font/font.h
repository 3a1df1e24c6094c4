#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>

#include "runtime/object.h"
#include "stream/url.h"

namespace vexel {

// Style bit asking for smooth (anti-aliased, filtered) text. Fonts keep the whole style value
// and consult no other bit.
inline constexpr int32_t FONTSTYLE_SMOOTH = 4;

// One glyph of a font: its pixels, its advance and where its image sits relative to the pen.
class TGlyph : public Object {
  public:
    // The glyph's pixel source (a TPixmap for fonts read from files), null for a glyph
    // without pixels such as a space.
    virtual ObjectPtr Pixels() = 0;
    // Horizontal distance from this glyph's origin to the next one's, in pixels.
    virtual float Advance() = 0;
    // Offset of the glyph image from the pen position (x to the right, y down from the top of
    // the line) and its size.
    virtual void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) = 0;
};
using GlyphPtr = std::shared_ptr<TGlyph>;

// A font: glyphs by index, and the index of each character code.
class TFont : public Object {
  public:
    // The style flags the font was loaded with (FONTSTYLE_SMOOTH).
    virtual int32_t Style() = 0;
    // Line height in pixels.
    virtual int32_t Height() = 0;
    // The number of glyphs.
    virtual int32_t CountGlyphs() = 0;
    // Glyph index of a character code, -1 when the font has none for it.
    virtual int32_t CharToGlyph(int32_t character) = 0;
    // The glyph at `index` (0 <= index < CountGlyphs()); null outside that range.
    virtual GlyphPtr LoadGlyph(int32_t index) = 0;
    // Distance in pixels from the top of the line to the baseline; 0 when the font has no
    // baseline of its own.
    virtual int32_t Ascender() { return 0; }
};
using FontPtr = std::shared_ptr<TFont>;

// Turns a url into a font. Loaders are chained through `_succ`, newest first.
class TFontLoader : public Object {
  public:
    // The font at `url` with pixel `size` and `style`, null when this loader cannot read it.
    virtual FontPtr LoadFont(const Url& url, int32_t size, int32_t style) = 0;

    std::shared_ptr<TFontLoader> _succ;
};
using FontLoaderPtr = std::shared_ptr<TFontLoader>;

// Links `loader` at the head of the loader list, unless it has a successor already (it is
// linked). The list starts with the FreeType loader on first use.
void AddFontLoader(const FontLoaderPtr& loader);
// Asks each linked loader from the head; the first font any of them returns, or null (with
// the reason, such as a missing file or one FreeType cannot read, in LastError).
FontPtr LoadFontFrom(const Url& url, int32_t size, int32_t style);

}  // namespace vexel
