#pragma once

#include "runtime/cxx_standard.h"

#include <cstddef>
#include <cstdint>
#include <memory>

#include "pixmap/pixel_format.h"
#include "runtime/object.h"

namespace vexel {

class TPixmap;
using PixmapPtr = std::shared_ptr<TPixmap>;

// A rectangle of pixels in memory, row by row in one pixel format. Single pixels travel as
// packed 32-bit ARGB (alpha in bits 24-31, blue in 0-7; -1 is opaque white). No operation
// checks bounds: callers keep every access inside the pixmap. Main thread only.
class TPixmap : public Object {
  public:
    TPixmap() = default;
    // Frees the pixel memory when this pixmap owns it (capacity >= 0).
    ~TPixmap() override;

    // Slot filler of the virtual-operation order; 0.
    virtual int _pad() { return 0; }
    // pixels + y * pitch + x * bytes per pixel.
    // Defined here so that calls on a known TPixmap can be inlined.
    virtual uint8_t* PixelPtr(int32_t x, int32_t y) const {
        return pixels + static_cast<ptrdiff_t>(y) * pitch +
               static_cast<ptrdiff_t>(x) * BytesPerPixel(format);
    }
    // A pixmap over the same memory that keeps this one alive.
    virtual PixmapPtr Window(int32_t x, int32_t y, int32_t width, int32_t height);
    // An owned copy with pitch aligned to 4 bytes; row padding is not copied.
    virtual PixmapPtr Copy() const;
    // Converts every row of `source` into this pixmap at (x, y). Returns 0.
    virtual int Paste(const TPixmap& source, int32_t x, int32_t y);
    // An owned copy in `format` with pitch aligned to 4 bytes.
    virtual PixmapPtr Convert(int32_t format) const;
    // One pixel as packed ARGB. Formats 1-6 only: other formats read 0 and ignore writes.
    // @{
    virtual int32_t ReadPixel(int32_t x, int32_t y) const;
    virtual int WritePixel(int32_t x, int32_t y, int32_t argb);
    // @}
    // An owned pixmap with pitch = width * bytes rounded up to `align`; contents undefined.
    // RuntimeError for a negative size or one whose byte count does not fit 31 bits.
    static PixmapPtr Create(int32_t width, int32_t height, int32_t format, int32_t align);
    // A pixmap over memory that the caller keeps alive; capacity -1.
    static PixmapPtr CreateStatic(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
                                  int32_t format);
    // Fills every pixel with `argb` as WritePixel stores it; 0 clears any format. Padding is
    // touched only when argb is 0 and there is no padding. Returns 0.
    virtual int ClearPixels(int32_t argb);

    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    int32_t format = 0;
    int32_t capacity = 0;  // bytes owned, or -1 when the memory belongs to someone else
    ObjectPtr _source;     // kept alive while this pixmap uses its memory
};

// Module functions over the pixmap's own operations and fields: Create, CreateStatic, Copy,
// Convert, the size, pitch and format, PixelPtr, Window, ReadPixel, WritePixel and
// ClearPixels.
// @{
PixmapPtr NewPixmap(int32_t width, int32_t height, int32_t format, int32_t align);
PixmapPtr WrapPixmapMemory(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
                           int32_t format);
PixmapPtr DuplicatePixmap(const TPixmap& pixmap);
PixmapPtr ReformatPixmap(const TPixmap& pixmap, int32_t format);
int32_t PixmapWidthOf(const TPixmap& pixmap);
int32_t PixmapHeightOf(const TPixmap& pixmap);
int32_t PixmapPitchOf(const TPixmap& pixmap);
int32_t PixmapFormatOf(const TPixmap& pixmap);
uint8_t* PixmapAddressOf(const TPixmap& pixmap, int32_t x, int32_t y);
PixmapPtr PixmapSubWindow(TPixmap& pixmap, int32_t x, int32_t y, int32_t width, int32_t height);
int32_t ReadPixmapPixel(const TPixmap& pixmap, int32_t x, int32_t y);
void WritePixmapPixel(TPixmap& pixmap, int32_t x, int32_t y, int32_t argb);
void FillPixmap(TPixmap& pixmap, int32_t argb);
// @}

// A new PIXEL_RGBA32 pixmap where pixels of colour (red, green, blue) become transparent,
// coloured with the average of their non-key neighbours (3x3); every other pixel gets alpha
// 255.
PixmapPtr ColorKeyPixmap(const TPixmap& pixmap, int32_t red, int32_t green, int32_t blue);
// Mirrored copies in the same format.
// @{
PixmapPtr MirrorPixmapX(const TPixmap& pixmap);
PixmapPtr MirrorPixmapY(const TPixmap& pixmap);
// @}
// Bilinear resize with pixel centres aligned, in the pixmap's own format. Null when either
// size (new or old) is 0 or negative.
PixmapPtr ScalePixmap(const TPixmap& pixmap, int32_t width, int32_t height);

}  // namespace vexel
