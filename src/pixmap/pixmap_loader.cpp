#include "pixmap/pixmap_loader.h"

#include "pixmap/internal/image_loaders.h"
#include "runtime/registry.h"
#include "stream/loader_chain.h"

namespace vexel {

namespace {

// Oldest first: the last one linked is tried first.
Registry<TPixmapLoader> MakeBuiltinLoaders() {
    Registry<TPixmapLoader> loaders;
    for (auto make : {MakeTGALoader, MakeJPGLoader, MakeBMPLoader, MakePNGLoader})
        loaders.Link(make());
    return loaders;
}

Registry<TPixmapLoader>& Loaders() {
    static Registry<TPixmapLoader> loaders = MakeBuiltinLoaders();
    return loaders;
}

}  // namespace

PixmapPtr TPixmapLoader::LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height) {
    PixmapPtr pixmap = LoadPixmap(stream);
    if (pixmap && (pixmap->width != width || pixmap->height != height)) return nullptr;
    return pixmap;
}

void RegisterPixmapLoader(std::shared_ptr<TPixmapLoader> loader) {
    Loaders().Link(std::move(loader));  // before the built-in ones, made on first use
}

std::shared_ptr<TPixmapLoader> PixmapLoaders() {
    return Loaders().Head();
}

PixmapPtr LoadPixmapFrom(const Url& url) {
    return OfferToEachLoader(
        url, PixmapLoaders(), WhenUnseekable::kDecline,
        [](TPixmapLoader& loader, TStream& stream) { return loader.LoadPixmap(stream); });
}

PixmapPtr LoadPixmapOfSizeFrom(const Url& url, int32_t width, int32_t height) {
    return OfferToEachLoader(url, PixmapLoaders(), WhenUnseekable::kDecline,
                             [width, height](TPixmapLoader& loader, TStream& stream) {
                                 return loader.LoadPixmapOfSize(stream, width, height);
                             });
}

}  // namespace vexel
