#include "graphics/image_source.h"

#include <algorithm>

#include "pixmap/pixmap_loader.h"
#include "runtime/last_error.h"
#include "stream/file_system.h"

namespace vexel {
namespace {

constexpr int32_t kLargestDetailScale = 4;

// "Data/gfx/Sky.png" at 2 is "Data/gfx/Sky@2x.png".
String DetailPath(const String& path, int32_t scale) {
    const String suffix = u"@" + IntToString(scale) + u"x";
    const String extension = ExtensionPart(path);
    if (extension.empty()) return path + suffix;
    return WithoutExtension(path) + suffix + u"." + extension;
}

}  // namespace

PixmapPtr ImageSource::Pixmap() const {
    if (pixmap_) return pixmap_;
    if (!url_.IsStream() && url_.Text().empty()) {
        RecordFailure(u"LoadImageFrom", u"", u"the pixmap is null (or the path empty)");
        return nullptr;
    }
    return LoadPixmapFrom(url_);
}

bool ImageSource::MayHaveDetail() const {
    const String& path = url_.Text();
    return !pixmap_ && !url_.IsStream() && !path.empty() && path.find(u"::") == String::npos;
}

PixmapPtr ImageSource::DetailPixmap(int32_t scale, int32_t width, int32_t height, int32_t& found,
                                    std::vector<String>& refused) const {
    found = 1;
    if (scale <= 1 || !MayHaveDetail()) return nullptr;
    const String& path = url_.Text();
    scale = std::min(scale, kLargestDetailScale);
    std::vector<int32_t> order;
    for (int32_t k = scale; k <= kLargestDetailScale; ++k)
        order.push_back(k);
    for (int32_t k = scale - 1; k >= 2; --k)
        order.push_back(k);
    std::vector<String> misfits;
    PixmapPtr pixmap;
    for (const int32_t k : order) {
        const String candidate = DetailPath(path, k);
        if (PathKind(candidate) != 1) continue;
        // A refused picture is reported below, in words of its own, not by the loader too.
        const FailureScope scope(u"DetailPixmap");
        pixmap = LoadPixmapOfSizeFrom(Url(candidate), width * k, height * k);
        DiscardFailure();
        if (pixmap) {
            found = k;
            break;
        }
        misfits.push_back(candidate + u" is not a " + IntToString(width * k) + u"x" +
                          IntToString(height * k) + u" picture (" + IntToString(k) + u" times " +
                          path + u")");
    }
    const String& instead = pixmap ? DetailPath(path, found) : path;
    for (const String& misfit : misfits)
        refused.push_back(misfit + u"; " + instead + u" is drawn instead");
    return pixmap;
}

}  // namespace vexel
