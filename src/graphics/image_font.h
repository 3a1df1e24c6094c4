#pragma once

// The image font: a font's glyphs turned into images, which is how DrawString draws text.
// It lives with the images rather than beside the fonts because it is made of TImage frames,
// and images belong to the drawing layer here; the font module sits below graphics and hands
// out glyph pixmaps only, so it stays free of anything that draws.

#include <cstdint>
#include <memory>
#include <vector>

#include "font/font.h"
#include "graphics/image.h"

namespace vexel {

// A glyph as a drawable image: the image sits at (_x, _y) from the pen position.
class TImageGlyph : public Object {
  public:
    // The glyph's one-frame image, null for a glyph without pixels such as a space.
    ImagePtr Pixels() const { return _image; }
    // How far the pen moves after this glyph, in pixels.
    float Advance() const { return _advance; }
    // The image's offset from the pen position and its size.
    void GetRect(int32_t& x, int32_t& y, int32_t& width, int32_t& height) const;

    ImagePtr _image;
    float _advance = 0;
    int32_t _x = 0;
    int32_t _y = 0;
    int32_t _w = 0;
    int32_t _h = 0;
    // The glyph rasterised at the font's detail scale, drawn instead of `_image` with its
    // top-left corner at (_detail_x, _detail_y) from the pen and the size
    // (_detail_w, _detail_h), all in the font's own pixels; null without one.
    ImagePtr _detail_image;
    float _detail_x = 0, _detail_y = 0, _detail_w = 0, _detail_h = 0;
    // The glyph's outline of _outline_width pixels, made the first time outlined text asks for
    // that width and drawn under the glyph: `_outlined_image` is _outline_margin pixels larger
    // on every side than `_image`, `_outlined_detail_image` as much larger than `_detail_image`
    // at the font's detail scale. Null while not made.
    ImagePtr _outlined_image, _outlined_detail_image;
    float _outline_width = 0;
    int32_t _outline_margin = 0;
};
using ImageGlyphPtr = std::shared_ptr<TImageGlyph>;

// A font drawn as images: either over a source font, whose glyphs become images the first
// time they are drawn or measured, or the built-in 8x16 font with all 96 images made up
// front. Main thread only.
class TImageFont : public Object {
  public:
    // The source font's values; without one 0, 16 and the 96 built-in glyphs.
    // @{
    virtual int32_t Style();
    virtual int32_t Height();
    virtual int32_t CountGlyphs();
    // @}
    // Without a source font codes 32..127 map to 0..95 and everything else to -1.
    virtual int32_t CharToGlyph(int32_t character);
    // The glyph at `index`, built once and kept (also when the source glyph has no pixels or
    // failed); null outside 0 .. CountGlyphs() - 1.
    virtual ImageGlyphPtr LoadGlyph(int32_t index);
    // Draws `text` with the first glyph's pen position at (x, y) under the matrix (ix, iy;
    // jx, jy). Characters without a glyph are skipped without moving the pen. Returns 0.
    virtual int Draw(const String& text, float x, float y, float ix, float iy, float jx, float jy);
    // Draw, over a black outline `width` of the font's pixels wide around every glyph: the
    // outlines of the whole text first, each one image made once per glyph (at the detail
    // scale as well, so it is as sharp as the glyphs), then the glyphs exactly as Draw draws
    // them, so no outline covers a neighbouring glyph. The draw colour tints the glyphs only;
    // the draw alpha applies to both. A width of 0 or less is Draw.
    int DrawOutlined(const String& text, float x, float y, float ix, float iy, float jx, float jy,
                     float width);

    // The font at `url` from the font loaders, with glyph images filtered and mipmapped when
    // `style` has FONTSTYLE_SMOOTH; null when no loader can open it. When GraphicsDetailScale
    // is above 1, the glyphs are also rasterised at that scale for drawing, with the metrics
    // of the ordinary size.
    static std::shared_ptr<TImageFont> Load(const Url& url, int32_t size, int32_t style);
    // The built-in 8x16 font: lit pixels opaque white, the rest transparent black.
    static std::shared_ptr<TImageFont> CreateDefault();

    // The detail glyph of `index` into `glyph`, when the detail font has pixels for it.
    void LoadDetailGlyph(int32_t index, TImageGlyph& glyph);
    // Makes `glyph`'s outlined images for `width`, unless it has them already.
    void LoadOutlinedGlyph(TImageGlyph& glyph, float width);

    FontPtr _src_font;
    std::vector<ImageGlyphPtr> _glyphs;
    int32_t _imageFlags = 0;
    // The same face at _detail_scale times the size, whose glyphs are drawn for sharp text on
    // enlarged surfaces; all metrics come from _src_font. Null at scale 1.
    FontPtr _detail_font;
    int32_t _detail_scale = 1;
};
using ImageFontPtr = std::shared_ptr<TImageFont>;

// TImageFont::Load.
ImageFontPtr LoadFontFace(const Url& url, int32_t size, int32_t style);

}  // namespace vexel
