#include "pixmap/tga_loader.h"

#include <algorithm>
#include <span>
#include <vector>

#include "pixmap/internal/image_loaders.h"
#include "pixmap/internal/loader_support.h"
#include "pixmap/internal/pixel_simd.h"

namespace vexel {

namespace {

// The 18-byte file header, little-endian.
struct tgahdr {
    uint8_t idlen, colourmaptype, imgtype, indexlo, indexhi, lenlo, lenhi, cosize;
    uint16_t x0, y0, width, height;
    uint8_t psize, attbits;
};

constexpr int64_t kMaxTgaSide = 4096;
constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kRunLengthTrueColour = 10;

tgahdr ParseHeader(const uint8_t* b) {
    auto le16 = [b](int at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
    return {b[0], b[1],    b[2],     b[3],     b[4],     b[5],  b[6],
            b[7], le16(8), le16(10), le16(12), le16(14), b[16], b[17]};
}

// One stored pixel as a packed ARGB word, which in memory is a PIXEL_BGRA32 pixel.
inline uint32_t PixelWord(const uint8_t* p, int psize) {
    switch (psize) {
        case 15:
        case 16: {
            const uint32_t v = p[0] | p[1] << 8;
            const uint32_t rgb =
                ((v >> 7) & 0xF8) << 16 | ((v >> 2) & 0xF8) << 8 | ((v << 3) & 0xF8);
            const bool clear = psize == 16 && (v & 0x8000) != 0;
            return rgb | (clear ? 0u : 0xFF000000u);
        }
        case 24:
            return 0xFF000000u | uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
        default:
            return uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
    }
}

// Decodes one row of run-length packets from data[at..]; false when a packet crosses the end
// of the row or of the data.
bool DecodeRunLengthRow(const std::vector<uint8_t>& data, size_t& at, int psize, int bytes,
                        uint32_t* row, int32_t width) {
    int32_t x = 0;
    while (x < width) {
        if (at >= data.size()) return false;
        const uint8_t n = data[at++];
        const int32_t count = (n & 0x7F) + 1;
        if (count > width - x) return false;
        const bool repeated = (n & 0x80) != 0;
        const size_t needed = static_cast<size_t>(repeated ? 1 : count) * bytes;
        if (needed > data.size() - at) return false;
        if (repeated) {
            std::fill_n(row + x, count, PixelWord(&data[at], psize));
            at += bytes;
        } else {
            for (int32_t i = 0; i < count; ++i, at += bytes)
                row[x + i] = PixelWord(&data[at], psize);
        }
        x += count;
    }
    return true;
}

// BGRA32 pixels to RGBA32 ones, written around the cache where the processor can: a picture
// is not read again before it is whole, and its memory need not be read before it is written.
void SwapRow(const uint8_t* in, uint8_t* out, int32_t width) {
#if VEXEL_AVX2_ROWS
    if (UseAVX2()) return SwapRowStreamingAVX2(in, out, width);
#endif
    ConvertPixelRow(in, PIXEL_BGRA32, out, PIXEL_RGBA32, width);
}

}  // namespace

PixmapPtr TPixmapLoaderTGA::LoadPixmap(TStream& stream) {
    int64_t remaining = RemainingBytes(stream);
    if (remaining < 18) return nullptr;
    uint8_t bytes[18];
    stream.ReadBytes(bytes, 18);
    const tgahdr header = ParseHeader(bytes);
    remaining -= 18;

    // Colour-mapped images (type 1) would need the map decoded; we have no use for them.
    if (header.colourmaptype != 0) return nullptr;
    if (header.imgtype != kTrueColour && header.imgtype != kRunLengthTrueColour) return nullptr;
    const int psize = header.psize;
    if (psize != 15 && psize != 16 && psize != 24 && psize != 32) return nullptr;
    if (header.width < 1 || header.height < 1 || header.width > kMaxTgaSide ||
        header.height > kMaxTgaSide) {
        return nullptr;
    }
    if (header.idlen > remaining) return nullptr;
    stream.SkipBytes(header.idlen);
    remaining -= header.idlen;

    const int32_t width = header.width;
    const int32_t height = header.height;
    const int bytes_per_pixel = (psize + 7) / 8;
    const int64_t pixels = int64_t{width} * height;
    const bool run_length = header.imgtype == kRunLengthTrueColour;
    // Raw data holds every pixel; a run-length packet covers at most 128 of them.
    const int64_t least =
        run_length ? (pixels + 127) / 128 * (1 + bytes_per_pixel) : pixels * bytes_per_pixel;
    if (least > remaining) return nullptr;
    const int32_t format = psize == 16 || psize == 32 ? PIXEL_RGBA32 : PIXEL_RGB24;
    PixmapPtr pixmap = NewPixmap(width, height, format, 4);
    std::vector<uint32_t> row(static_cast<size_t>(width));

    if (!run_length) {
        // 24 and 32-bit pixels are BGR24 and BGRA32 pixels already; only the 5-bit channels
        // need widening word by word.
        const auto row_bytes = static_cast<int64_t>(width) * bytes_per_pixel;
        auto convert_row = [&](const uint8_t* in, int32_t i) {
            uint8_t* out = pixmap->PixelPtr(0, height - 1 - i);
            if (psize == 32) return SwapRow(in, out, width);
            if (psize == 24) return ConvertPixelRow(in, PIXEL_BGR24, out, format, width);
            for (int32_t x = 0; x < width; ++x)
                row[x] = PixelWord(in + 2 * x, psize);
            ConvertPixelRow(row.data(), PIXEL_BGRA32, out, format, width);
        };
        // Bytes in memory are converted where they lie: the pixmap's memory is written once
        // and nothing else, as in a plain copy.
        const std::span<const uint8_t> ahead = MemoryBytesAhead(stream);
        if (static_cast<int64_t>(ahead.size()) >= least) {
            for (int32_t i = 0; i < height; ++i)
                convert_row(ahead.data() + row_bytes * i, i);
            stream.Seek(stream.Pos() + least);
            return pixmap;
        }
        // Otherwise a row at a time, through a buffer that stays in the cache.
        std::vector<uint8_t> stored(static_cast<size_t>(row_bytes));
        for (int32_t i = 0; i < height; ++i) {
            stream.ReadBytes(stored.data(), row_bytes);
            convert_row(stored.data(), i);
        }
        return pixmap;
    }

    // Run-length data ends wherever its packets say: take what the file has, at most the
    // size of the worst case (every pixel a one-pixel literal).
    const int64_t most = pixels * (1 + bytes_per_pixel);
    std::vector<uint8_t> data(static_cast<size_t>(std::min(remaining, most)));
    stream.ReadBytes(data.data(), static_cast<int64_t>(data.size()));
    size_t at = 0;
    for (int32_t i = 0; i < height; ++i) {
        if (!DecodeRunLengthRow(data, at, psize, bytes_per_pixel, row.data(), width))
            return nullptr;
        ConvertPixelRow(row.data(), PIXEL_BGRA32, pixmap->PixelPtr(0, height - 1 - i), format,
                        width);
    }
    return pixmap;
}

std::shared_ptr<TPixmapLoader> MakeTGALoader() {
    return std::make_shared<TPixmapLoaderTGA>();
}

}  // namespace vexel
