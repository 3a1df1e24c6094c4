#pragma once

#include "runtime/cxx_standard.h"

#include "pixmap/pixmap_loader.h"

namespace vexel {

// Uncompressed Windows bitmaps ("BM", an info header of 40 bytes or more) at 1, 4, 8, 24 and
// 32 bits per pixel, bottom-up or top-down (negative height). 32 bits give PIXEL_BGRA32 with
// the fourth byte as alpha; the other depths PIXEL_BGR24. Compressed data, other depths,
// palettes larger than the depth allows and sizes beyond 16384 or beyond the file are null.
class TPixmapLoaderBMP : public TPixmapLoader {
  public:
    PixmapPtr LoadPixmap(TStream& stream) override;
};

}  // namespace vexel
