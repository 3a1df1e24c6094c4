#include "graphics/image_font.h"

#include "font/builtin_font.h"
#include "graphics/graphics.h"
#include "graphics/internal/glyph_outline.h"
#include "pixmap/pixel_format.h"

namespace vexel {

void TImageGlyph::GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) const {
    x = _x;
    y = _y;
    width = _w;
    height = _h;
}

int32_t TImageFont::Style() {
    return _src_font ? _src_font->Style() : 0;
}

int32_t TImageFont::Height() {
    return _src_font ? _src_font->Height() : kBuiltinFontCellHeight;
}

int32_t TImageFont::CountGlyphs() {
    return static_cast<int32_t>(_glyphs.size());
}

int32_t TImageFont::CharToGlyph(int32_t character) {
    if (_src_font) return _src_font->CharToGlyph(character);
    const int32_t index = character - kBuiltinFontFirstCode;
    return index >= 0 && index < kBuiltinFontGlyphs ? index : -1;
}

ImageGlyphPtr TImageFont::LoadGlyph(int32_t index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    ImageGlyphPtr& slot = _glyphs[static_cast<size_t>(index)];
    if (slot || !_src_font) return slot;
    slot = std::make_shared<TImageGlyph>();
    const GlyphPtr source = _src_font->LoadGlyph(index);
    if (!source) return slot;
    slot->_advance = source->Advance();
    source->GetRect(slot->_x, slot->_y, slot->_w, slot->_h);
    // The image gets a copy: the source font keeps its own pixmap.
    if (const auto pixmap = std::dynamic_pointer_cast<TPixmap>(source->Pixels()))
        slot->_image = TImage::Load(pixmap->Copy(), _imageFlags, 0, 0, 0);
    if (_detail_font) LoadDetailGlyph(index, *slot);
    return slot;
}

void TImageFont::LoadDetailGlyph(int32_t index, TImageGlyph& glyph) {
    const GlyphPtr source = _detail_font->LoadGlyph(index);
    const auto pixmap = source ? std::dynamic_pointer_cast<TPixmap>(source->Pixels()) : nullptr;
    if (!pixmap) return;
    int32_t x = 0, y = 0, w = 0, h = 0;
    source->GetRect(x, y, w, h);
    const auto scale = static_cast<float>(_detail_scale);
    // Both sizes put the glyph on the ordinary size's baseline.
    const float baseline_shift = static_cast<float>(_src_font->Ascender()) -
                                 static_cast<float>(_detail_font->Ascender()) / scale;
    glyph._detail_image = TImage::Load(pixmap->Copy(), _imageFlags | ImageFlagFiltered, 0, 0, 0);
    glyph._detail_x = static_cast<float>(x) / scale;
    glyph._detail_y = static_cast<float>(y) / scale + baseline_shift;
    glyph._detail_w = static_cast<float>(w) / scale;
    glyph._detail_h = static_cast<float>(h) / scale;
}

namespace {

// Draws `image` as a glyph: its frame 0 with the rectangle (gx, gy, gw, gh), in the font's
// pixels from the pen at (x, y), under the matrix.
void DrawGlyphImage(TImage& image, float gx, float gy, float gw, float gh, float x, float y,
                    float ix, float iy, float jx, float jy) {
    if (const auto frame = image.Frame(0)) {
        frame->Draw(0, 0, gw, gh, x + gx * ix + gy * iy, y + gx * jx + gy * jy, 0, 0,
                    static_cast<float>(image.width), static_cast<float>(image.height));
    }
}

}  // namespace

void TImageFont::LoadOutlinedGlyph(TImageGlyph& glyph, float width) {
    if (glyph._outline_width == width && (glyph._outlined_image || !glyph._image)) return;
    glyph._outline_width = width;
    glyph._outlined_image = glyph._outlined_detail_image = nullptr;
    if (glyph._image && !glyph._image->pixmaps.empty() && glyph._image->pixmaps[0]) {
        OutlinedGlyph outlined = OutlineGlyph(*glyph._image->pixmaps[0], width);
        glyph._outline_margin = outlined.margin;
        glyph._outlined_image =
            TImage::Load(std::move(outlined.pixmap), glyph._image->flags, 0, 0, 0);
    }
    const ImagePtr& detail = glyph._detail_image;
    if (detail && !detail->pixmaps.empty() && detail->pixmaps[0]) {
        OutlinedGlyph outlined =
            OutlineGlyph(*detail->pixmaps[0], width * static_cast<float>(_detail_scale));
        glyph._outlined_detail_image =
            TImage::Load(std::move(outlined.pixmap), detail->flags, 0, 0, 0);
    }
}

int TImageFont::Draw(const String& text, float x, float y, float ix, float iy, float jx, float jy) {
    for (const char16_t character : text) {
        const int32_t index = CharToGlyph(character);
        if (index < 0) continue;
        const ImageGlyphPtr glyph = LoadGlyph(index);
        if (!glyph) continue;
        if (const ImagePtr& detail = glyph->_detail_image) {
            DrawGlyphImage(*detail, glyph->_detail_x, glyph->_detail_y, glyph->_detail_w,
                           glyph->_detail_h, x, y, ix, iy, jx, jy);
        } else if (const ImagePtr& image = glyph->_image) {
            DrawGlyphImage(*image, static_cast<float>(glyph->_x), static_cast<float>(glyph->_y),
                           static_cast<float>(image->width), static_cast<float>(image->height), x,
                           y, ix, iy, jx, jy);
        }
        x += ix * glyph->_advance;
        y += jx * glyph->_advance;
    }
    return 0;
}

int TImageFont::DrawOutlined(const String& text, float x, float y, float ix, float iy, float jx,
                             float jy, float width) {
    if (width <= 0) return Draw(text, x, y, ix, iy, jx, jy);
    // All the outlines first, then the glyphs over them.
    const auto scale = static_cast<float>(_detail_scale);
    float pen_x = x, pen_y = y;
    for (const char16_t character : text) {
        const int32_t index = CharToGlyph(character);
        if (index < 0) continue;
        const ImageGlyphPtr glyph = LoadGlyph(index);
        if (!glyph) continue;
        LoadOutlinedGlyph(*glyph, width);
        if (const ImagePtr& detail = glyph->_outlined_detail_image) {
            // Larger than the detail glyph by its margin, in detail pixels, on every side.
            const float margin = (static_cast<float>(detail->width) / scale - glyph->_detail_w) / 2;
            DrawGlyphImage(*detail, glyph->_detail_x - margin, glyph->_detail_y - margin,
                           glyph->_detail_w + 2 * margin, glyph->_detail_h + 2 * margin, pen_x,
                           pen_y, ix, iy, jx, jy);
        } else if (const ImagePtr& image = glyph->_outlined_image) {
            const auto margin = static_cast<float>(glyph->_outline_margin);
            DrawGlyphImage(*image, static_cast<float>(glyph->_x) - margin,
                           static_cast<float>(glyph->_y) - margin, static_cast<float>(image->width),
                           static_cast<float>(image->height), pen_x, pen_y, ix, iy, jx, jy);
        }
        pen_x += ix * glyph->_advance;
        pen_y += jx * glyph->_advance;
    }
    return Draw(text, x, y, ix, iy, jx, jy);
}

ImageFontPtr TImageFont::Load(const Url& url, int32_t size, int32_t style) {
    FontPtr source = LoadFontFrom(url, size, style);
    if (!source) return nullptr;
    auto font = std::make_shared<TImageFont>();
    font->_glyphs.resize(static_cast<size_t>(std::max(source->CountGlyphs(), 0)));
    font->_imageFlags = (style & FONTSTYLE_SMOOTH) ? ImageFlagFiltered | ImageFlagMipmapped : 0;
    font->_src_font = std::move(source);
    // A stream can be read only once; text from one stays at the ordinary size.
    const int32_t scale = GraphicsDetailScale();
    if (scale > 1 && !url.IsStream()) {
        font->_detail_font = LoadFontFrom(url, size * scale, style);
        if (font->_detail_font) font->_detail_scale = scale;
    }
    return font;
}

ImageFontPtr TImageFont::CreateDefault() {
    constexpr int32_t kCell = kBuiltinFontCellWidth;
    constexpr int32_t kRows = kBuiltinFontCellHeight;
    auto font = std::make_shared<TImageFont>();
    PixmapPtr strip = NewPixmap(kCell * kBuiltinFontGlyphs, kRows, PIXEL_RGBA32, 4);
    for (int32_t y = 0; y < kRows; ++y)
        for (int32_t i = 0; i < kBuiltinFontGlyphs; ++i)
            for (int32_t j = 0; j < kCell; ++j)
                strip->WritePixel(kCell * i + j, y, BuiltinFontPixel(i, j, y) ? -1 : 0);
    for (int32_t i = 0; i < kBuiltinFontGlyphs; ++i) {
        auto glyph = std::make_shared<TImageGlyph>();
        glyph->_advance = static_cast<float>(kCell);
        glyph->_w = kCell;
        glyph->_h = kRows;
        glyph->_image = TImage::Load(strip->Window(kCell * i, 0, kCell, kRows)->Copy(), 0, 0, 0, 0);
        font->_glyphs.push_back(std::move(glyph));
    }
    return font;
}

ImageFontPtr LoadFontFace(const Url& url, int32_t size, int32_t style) {
    return TImageFont::Load(url, size, style);
}

}  // namespace vexel
