// LoadPixmapFrom over arbitrary bytes: every loader of the chain in turn.
#include "image_fuzz.h"
#include "pixmap/pixmap_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzImageDecoder(data, size,
                            [](const auto& stream) { return vexel::LoadPixmapFrom(stream); });
}
