#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <vector>

#include "pixmap/pixmap.h"
#include "runtime/string.h"
#include "stream/url.h"

namespace vexel {

// Where an image comes from: a pixmap used as it is, or a path, url or stream to load one from.
class ImageSource {
  public:
    // A pixmap.
    ImageSource(PixmapPtr pixmap) : pixmap_(std::move(pixmap)) {}
    // A url, path or stream to load a picture from.
    // @{
    ImageSource(Url url) : url_(std::move(url)) {}
    ImageSource(String path) : url_(std::move(path)) {}
    ImageSource(const char16_t* path) : url_(path) {}
    ImageSource(StreamPtr stream) : url_(std::move(stream)) {}
    // @}

    // The pixmap itself, or the one loaded from the url (null when it cannot be read).
    PixmapPtr Pixmap() const;
    // A plain file path, which can have high-resolution files beside it.
    bool MayHaveDetail() const;
    // For a file path "Name.png" of a width × height picture and `scale` above 1: the
    // high-resolution picture beside it, "Name@2x.png" or "Name@3x.png" (up to @4x), the
    // nearest at or above `scale`, else the largest below it; `found` is its scale. Null
    // (found 1) when there is none. A file of any size other than its scale times width ×
    // height is refused from its header, before it is decoded, and so is one that cannot be
    // read; the next is tried, and `refused` gets a line for each, which names the picture
    // drawn instead.
    PixmapPtr DetailPixmap(int32_t scale, int32_t width, int32_t height, int32_t& found,
                           std::vector<String>& refused) const;

  private:
    PixmapPtr pixmap_;
    Url url_;
};

}  // namespace vexel
