#include "pixmap/pixmap_loader.h"

#include <array>

#include "pixmap/internal/image_loaders.h"
#include "runtime/registry.h"
#include "stream/loader_chain.h"

namespace vexel {

namespace {

Registry<TPixmapLoader>& Loaders() {
    static Registry<TPixmapLoader> loaders;
    return loaders;
}

// Oldest first: the last one linked is tried first.
using MakeLoader = std::shared_ptr<TPixmapLoader> (*)();
constexpr std::array<MakeLoader, 4> kBuiltinLoaders = {MakeTGALoader, MakeJPGLoader, MakeBMPLoader,
                                                       MakePNGLoader};

void RegisterBuiltinLoaders() {
    static const bool registered = [] {
        for (auto& make : kBuiltinLoaders) {
            Loaders().Link(make());
        }
        return true;
    }();
    (void)registered;
}

}  // namespace

void RegisterPixmapLoader(std::shared_ptr<TPixmapLoader> loader) {
    RegisterBuiltinLoaders();  // a loader registered later always comes before them
    Loaders().Link(std::move(loader));
}

std::shared_ptr<TPixmapLoader> PixmapLoaders() {
    RegisterBuiltinLoaders();
    return Loaders().Head();
}

PixmapPtr LoadPixmapFrom(const Url& url) {
    return OfferToEachLoader(
        url, PixmapLoaders(), WhenUnseekable::kDecline,
        [](TPixmapLoader& loader, TStream& stream) { return loader.LoadPixmap(stream); });
}

}  // namespace vexel
