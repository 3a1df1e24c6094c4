#pragma once

#include <cstdint>

#include "pixmap/pixmap.h"
#include "pixmap/pixmap_loader.h"
#include "stream/url.h"

namespace vexel {

// Decodes a PNG file with libpng, 16-bit samples cut to their high byte and palettes, small
// grey depths and transparency expanded: grey gives PIXEL_GREY8, RGB PIXEL_RGB24, RGB with
// alpha PIXEL_RGBA32, and grey with alpha (or a transparent grey value) PIXEL_RGBA32 with
// the grey in all three colour bytes. Null when the url cannot be opened, the data is not a
// PNG, libpng reports an error or the image is larger than the file could hold. A stream
// shorter than the 8-byte signature, or one that ends inside the image, raises the stream's
// TStreamReadException after the stream is closed.
PixmapPtr LoadPNGPixmap(const Url& url);

// Writes `pixmap` as an 8-bit PNG at zlib level `level` (clamped to 0..9): GREY8 as grey,
// RGB24/BGR24 as RGB, RGBA32/BGRA32 as RGB with alpha, other formats converted to RGBA32.
// False when the url cannot be opened or libpng fails; a failed write raises the stream's
// TStreamWriteException. A file path is replaced all or nothing (see stream/durable_save.h):
// until the save succeeds a reader sees the old file. A link durable_save.h refuses, or a
// FIFO that nobody reads, gives false without waiting.
bool SavePNGPixmap(const TPixmap& pixmap, const Url& url, int32_t level);

class TPixmapLoaderPNG : public TPixmapLoader {
  public:
    PixmapPtr LoadPixmap(TStream& stream) override;
    // Refuses any other size from the header, before the image data is read.
    PixmapPtr LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height) override;
};

}  // namespace vexel
