#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "font/font.h"
#include "pixmap/pixmap.h"

struct FT_FaceRec_;

namespace vexel {

// A glyph rendered by FreeType into a PIXEL_ALPHA8 pixmap.
class TFreeTypeGlyph : public TGlyph {
  public:
    ObjectPtr Pixels() override { return _pixmap; }
    float Advance() override { return _advance; }
    void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) override;

    PixmapPtr _pixmap;
    float _advance = 0;
    int32_t _x = 0;
    int32_t _y = 0;
    int32_t _w = 0;
    int32_t _h = 0;
};

// A FreeType face at one pixel size. Glyph indices are FreeType's minus one, so FreeType's
// "missing glyph" 0 becomes -1. Glyphs are rendered on first request and kept, failed ones
// as empty glyphs. Main thread only.
class TFreeTypeFont : public TFont {
  public:
    int32_t Style() override { return _style; }
    int32_t Height() override { return _height; }
    int32_t CountGlyphs() override { return static_cast<int32_t>(_glyphs.size()); }
    int32_t CharToGlyph(int32_t character) override;
    GlyphPtr LoadGlyph(int32_t index) override;
    int32_t Ascender() override { return _ascend; }

    // Opens `path` at pixel `size`, or the largest smaller size the face offers. A path with
    // "::" after its first character is a protocol url whose bytes are read into memory;
    // anything else is a file name. Null when nothing can be opened or no size from `size`
    // down to 1 fits.
    static std::shared_ptr<TFreeTypeFont> Load(const String& path, int32_t size, int32_t style);

    int32_t _style = 0;
    int32_t _height = 0;
    int32_t _ascend = 0;
    int32_t _descend = 0;
    std::vector<std::shared_ptr<TFreeTypeGlyph>> _glyphs;
    // The font file's bytes when the face was opened from memory; FreeType reads them for as
    // long as the face is open, so they are freed after it.
    std::vector<uint8_t> _buf;
    struct FaceCloser {
        // Closes the face.
        void operator()(FT_FaceRec_* face) const;
    };
    std::unique_ptr<FT_FaceRec_, FaceCloser> _ft_face;
};

// The loader that opens string urls with FreeType.
class TFreeTypeFontLoader : public TFontLoader {
  public:
    FontPtr LoadFont(const Url& url, int32_t size, int32_t style) override;
};

}  // namespace vexel
