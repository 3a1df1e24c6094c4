#include "font/freetype_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/last_error.h"
#include "stream/stream_exception.h"
#include "stream/whole_file.h"

namespace vexel {

namespace {

// One library handle for the whole run, made on first use and never released.
FT_Library Library() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        return FT_Init_FreeType(&made) == 0 ? made : nullptr;
    }();
    return library;
}

bool IsProtocolUrl(const String& path) {
    const size_t at = path.find(u"::");
    return at != String::npos && at > 0;
}

// A PIXEL_ALPHA8 copy of the bitmap FreeType just rendered into the glyph slot (which the
// next FT_Load_Glyph overwrites). Null for bitmap kinds other than grey and one-bit.
PixmapPtr CopyBitmap(const FT_Bitmap& bitmap) {
    const auto width = static_cast<int32_t>(bitmap.width);
    const auto rows = static_cast<int32_t>(bitmap.rows);
    if (bitmap.pitch < 0 || !bitmap.buffer) return nullptr;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
        return WrapPixmapMemory(bitmap.buffer, width, rows, bitmap.pitch, PIXEL_ALPHA8)->Copy();
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return nullptr;
    PixmapPtr pixmap = NewPixmap(width, rows, PIXEL_ALPHA8, 4);
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* bits = bitmap.buffer + static_cast<size_t>(bitmap.pitch) * y;
        uint8_t* row = pixmap->PixelPtr(0, y);
        for (int32_t x = 0; x < width; ++x)
            row[x] = (bits[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
    }
    return pixmap;
}

// `pixmap` inside a fully transparent one-pixel ring, so filtering at the glyph's edge blends
// towards nothing instead of clamping to the edge pixels.
PixmapPtr WithTransparentBorder(const TPixmap& pixmap) {
    PixmapPtr framed = NewPixmap(pixmap.width + 2, pixmap.height + 2, pixmap.format, 4);
    std::memset(framed->pixels, 0, static_cast<size_t>(framed->pitch) * framed->height);
    framed->Paste(pixmap, 1, 1);
    return framed;
}

}  // namespace

void TFreeTypeFont::FaceCloser::operator()(FT_FaceRec_* face) const {
    FT_Done_Face(face);
}

void TFreeTypeGlyph::GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
    x = _x;
    y = _y;
    width = _w;
    height = _h;
}

int32_t TFreeTypeFont::CharToGlyph(int32_t character) {
    return static_cast<int32_t>(
               FT_Get_Char_Index(_ft_face.get(), static_cast<FT_ULong>(character))) -
           1;
}

GlyphPtr TFreeTypeFont::LoadGlyph(int32_t index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    auto& slot = _glyphs[static_cast<size_t>(index)];
    if (slot) return slot;
    // Stored before rendering so that a glyph FreeType cannot load is not tried again.
    slot = std::make_shared<TFreeTypeGlyph>();
    TFreeTypeGlyph& glyph = *slot;
    FT_Face face = _ft_face.get();
    if (FT_Load_Glyph(face, static_cast<FT_UInt>(index + 1), FT_LOAD_RENDER) != 0) return slot;

    const FT_GlyphSlot rendered = face->glyph;
    glyph._x = rendered->bitmap_left;
    glyph._y = _ascend - rendered->bitmap_top;
    glyph._w = static_cast<int32_t>(rendered->bitmap.width);
    glyph._h = static_cast<int32_t>(rendered->bitmap.rows);
    glyph._advance = static_cast<float>(rendered->advance.x >> 6);
    if (glyph._w == 0) return slot;

    PixmapPtr pixmap = CopyBitmap(rendered->bitmap);
    if (pixmap && (_style & FONTSTYLE_SMOOTH)) {
        pixmap = WithTransparentBorder(*pixmap);
        glyph._x -= 1;
        glyph._y -= 1;
        glyph._w += 2;
        glyph._h += 2;
    }
    glyph._pixmap = std::move(pixmap);
    return slot;
}

namespace {

// Why FreeType could not open a face, in words: the system's for a file it cannot open.
String FaceFailure(FT_Error error, const String& path) {
    if (error == FT_Err_Cannot_Open_Resource) {
        if (access(ToUtf8(path).c_str(), R_OK) != 0) return DescribeSystemError(errno);
        return u"cannot open the file";
    }
    if (error == FT_Err_Unknown_File_Format) return u"not a font file FreeType reads";
    if (const char* words = FT_Error_String(error)) return u"FreeType: " + FromUtf8(words);
    return u"the font file is damaged";
}

void RecordFontFailure(const String& path, std::u16string_view cause) {
    RecordFailure(u"LoadFontFrom", path, cause);
}

}  // namespace

std::shared_ptr<TFreeTypeFont> TFreeTypeFont::Load(const String& path, int32_t size,
                                                   int32_t style) {
    FT_Library library = Library();
    if (!library) {
        RecordFontFailure(path, u"FreeType cannot start");
        return nullptr;
    }
    auto font = std::make_shared<TFreeTypeFont>();
    FT_Face face = nullptr;
    if (IsProtocolUrl(path)) {
        try {
            font->_buf = LoadBytesFrom(path);
        } catch (const TStreamException&) {
            return nullptr;  // the stream recorded why
        }
        if (font->_buf.empty()) {
            RecordFontFailure(path, u"the file is empty");
            return nullptr;
        }
        if (const FT_Error error = FT_New_Memory_Face(
                library, font->_buf.data(), static_cast<FT_Long>(font->_buf.size()), 0, &face)) {
            RecordFontFailure(path, FaceFailure(error, path));
            return nullptr;
        }
    } else if (const FT_Error error = FT_New_Face(library, ToUtf8(path).c_str(), 0, &face)) {
        RecordFontFailure(path, FaceFailure(error, path));
        return nullptr;
    }
    font->_ft_face.reset(face);

    // Bitmap-only faces accept only the sizes they carry: step down to the nearest one.
    int32_t pixels = size;
    while (pixels >= 1 && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0)
        --pixels;
    if (pixels < 1) {
        RecordFontFailure(path,
                          u"the font has no size of " + IntToString(size) + u" pixels or smaller");
        return nullptr;
    }

    const FT_Size_Metrics& metrics = face->size->metrics;
    font->_style = style;
    font->_height = static_cast<int32_t>(metrics.height >> 6);
    font->_ascend = static_cast<int32_t>(metrics.ascender >> 6);
    font->_descend = static_cast<int32_t>(metrics.descender >> 6);
    font->_glyphs.resize(static_cast<size_t>(face->num_glyphs));
    return font;
}

FontPtr TFreeTypeFontLoader::LoadFont(const Url& url, int32_t size, int32_t style) {
    if (url.IsStream() || url.Text().empty()) return nullptr;
    return TFreeTypeFont::Load(url.Text(), size, style);
}

}  // namespace vexel
