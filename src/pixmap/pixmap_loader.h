#pragma once

#include <memory>

#include "pixmap/pixmap.h"
#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// Decodes one kind of image file. Loaders form a list, newest first; LoadPixmapFrom asks
// each in turn.
class TPixmapLoader : public Object {
  public:
    // A pixmap from `stream`, positioned at the start of the file, or null when the data is
    // not of this loader's kind or cannot be decoded. Stream errors may escape.
    virtual PixmapPtr LoadPixmap(TStream& stream) = 0;
    // As LoadPixmap, but only a picture of exactly width × height; null for any other size.
    // This default decodes the picture and then compares; a loader that can read the size
    // from the file's header overrides it to refuse other sizes before a pixel is decoded.
    virtual PixmapPtr LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height);

    std::shared_ptr<TPixmapLoader> _succ;
};

// Links `loader` at the head of the list for the rest of the run.
void RegisterPixmapLoader(std::shared_ptr<TPixmapLoader> loader);
// The head of the list. The first call links the built-in loaders in the order TGA, JPEG,
// BMP, PNG, so files are tried as PNG, BMP, JPEG, then TGA.
std::shared_ptr<TPixmapLoader> PixmapLoaders();

// Opens `url` and offers the stream to each loader from the head, seeking back to where it
// started before every attempt. A stream error inside a loader counts as a decline; other
// exceptions propagate. Null when the url cannot be opened, the stream cannot seek or no
// loader accepts the data.
PixmapPtr LoadPixmapFrom(const Url& url);

// As LoadPixmapFrom, but only a picture of exactly width × height (TPixmapLoader::
// LoadPixmapOfSize): the PNG and JPEG loaders refuse any other size from the file's header,
// before decoding, so a small file announcing a huge picture costs no more than its header.
PixmapPtr LoadPixmapOfSizeFrom(const Url& url, int32_t width, int32_t height);

}  // namespace vexel
