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

void RegisterPixmapLoader(std::shared_ptr<TPixmapLoader> loader) {
    Loaders().Link(std::move(loader));  // before the built-in ones, made on first use
}

std::shared_ptr<TPixmapLoader> PixmapLoaders() {
    return Loaders().Head();
}

PixmapPtr LoadPixmapFrom(const Url& url) {
    return OfferToEachLoader(
        u"LoadPixmapFrom", u"not an image file of a kind Vexel reads (PNG, BMP, JPEG, TGA)", url,
        PixmapLoaders(), WhenUnseekable::kDecline,
        [](TPixmapLoader& loader, TStream& stream) { return loader.LoadPixmap(stream); });
}

}  // namespace vexel
