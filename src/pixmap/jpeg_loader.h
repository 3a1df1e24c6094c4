#pragma once

#include <cstdint>

#include "pixmap/pixmap.h"
#include "pixmap/pixmap_loader.h"
#include "stream/url.h"

namespace vexel {

// JPEG through libjpeg: one component gives PIXEL_GREY8, three PIXEL_RGB24, anything else
// null. A stream that ends early reads as if an end-of-image marker followed. Images over
// 16384 pixels a side, or larger than 1024 bytes of pixels per byte of file, are null.
class TPixmapLoaderJPG : public TPixmapLoader {
  public:
    PixmapPtr LoadPixmap(TStream& stream) override;
    // Refuses any other size from the header, before the image data is read.
    PixmapPtr LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height) override;
};

// Writes `pixmap` as a colour JPEG (converted to PIXEL_RGB24) at `quality` (1..100, libjpeg
// clamps). False when the url cannot be opened or libjpeg fails; a failed write raises the
// stream's TStreamWriteException. A file path is replaced all or nothing (see
// stream/durable_save.h): until the save succeeds a reader sees the old file. A link
// durable_save.h refuses, or a FIFO that nobody reads, gives false without waiting.
bool SaveJPGPixmap(const TPixmap& pixmap, const Url& url, int32_t quality);

}  // namespace vexel
