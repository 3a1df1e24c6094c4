// LoadPNGPixmap over arbitrary bytes: once as they are, and once with every chunk's CRC made
// right, so that mutated image data gets past the checksums to the inflating and the
// unfiltering.
#include <libdeflate.h>

#include <vector>

#include "image_fuzz.h"
#include "pixmap/png_loader.h"

namespace {

// The bytes with the CRC of each whole chunk after the signature rewritten.
std::vector<uint8_t> WithRightCrcs(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    size_t at = 8;
    while (at <= bytes.size() && bytes.size() - at >= 12) {
        const uint32_t length = uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 |
                                uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
        if (length > bytes.size() - at - 12) break;
        const uint32_t crc = libdeflate_crc32(0, &bytes[at + 4], length + 4);
        uint8_t* out = &bytes[at + 8 + length];
        out[0] = static_cast<uint8_t>(crc >> 24), out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8), out[3] = static_cast<uint8_t>(crc);
        at += 12 + size_t{length};
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto load = [](const auto& stream) { return vexel::LoadPNGPixmap(stream); };
    FuzzImageDecoder(data, size, load);
    const std::vector<uint8_t> fixed = WithRightCrcs(data, size);
    return FuzzImageDecoder(fixed.data(), fixed.size(), load);
}
