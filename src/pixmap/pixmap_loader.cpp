#include "pixmap/pixmap_loader.h"

#include <array>

#include "pixmap/internal/image_loaders.h"
#include "stream/stream_factory.h"

namespace vexel {

namespace {

std::shared_ptr<TPixmapLoader>& LoaderHead() {
    static std::shared_ptr<TPixmapLoader> head;
    return head;
}

void Link(std::shared_ptr<TPixmapLoader> loader) {
    loader->_succ = LoaderHead();
    LoaderHead() = std::move(loader);
}

// Oldest first: the last one linked is tried first.
using MakeLoader = std::shared_ptr<TPixmapLoader> (*)();
constexpr std::array<MakeLoader, 4> kBuiltinLoaders = {MakeTGALoader, MakeJPGLoader, MakeBMPLoader,
                                                       MakePNGLoader};

void RegisterBuiltinLoaders() {
    static const bool registered = [] {
        for (auto& make : kBuiltinLoaders) {
            Link(make());
        }
        return true;
    }();
    (void)registered;
}

}  // namespace

void RegisterPixmapLoader(std::shared_ptr<TPixmapLoader> loader) {
    RegisterBuiltinLoaders();  // a loader registered later always comes before them
    Link(std::move(loader));
}

std::shared_ptr<TPixmapLoader> PixmapLoaders() {
    RegisterBuiltinLoaders();
    return LoaderHead();
}

PixmapPtr LoadPixmapFrom(const Url& url) {
    StreamPtr stream = OpenFileRead(url);
    if (!stream) return nullptr;
    const int64_t start = stream->Pos();
    PixmapPtr pixmap;
    if (start != -1) {
        try {
            for (auto loader = PixmapLoaders(); loader && !pixmap; loader = loader->_succ) {
                stream->Seek(start);
                try {
                    pixmap = loader->LoadPixmap(*stream);
                } catch (const TStreamException&) {
                    // A short read means the data is not this loader's; ask the next one.
                }
            }
        } catch (...) {
            stream->Close();
            throw;
        }
    }
    stream->Close();
    return pixmap;
}

}  // namespace vexel
