#pragma once

#include "runtime/cxx_standard.h"

#include "pixmap/pixmap_loader.h"

namespace vexel {

// Truecolour Targa files, raw (type 2) or run-length encoded (type 10), at 15, 16, 24 or 32
// bits per pixel and at most 4096 pixels a side. 16 and 32 bits give PIXEL_RGBA32 (at 16
// bits the attribute bit set means transparent), 15 and 24 PIXEL_RGB24. Rows are stored
// bottom-up. Colour-mapped files, runs that cross a row or the end of the data, and files
// shorter than their pixels are null.
class TPixmapLoaderTGA : public TPixmapLoader {
  public:
    PixmapPtr LoadPixmap(TStream& stream) override;
};

}  // namespace vexel
