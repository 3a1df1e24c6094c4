// TPixmapLoaderTGA over arbitrary bytes.
#include "image_fuzz.h"
#include "pixmap/tga_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzImageDecoder(data, size, [](const auto& stream) {
        return vexel::TPixmapLoaderTGA().LoadPixmap(*stream);
    });
}
