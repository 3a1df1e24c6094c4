#include "pixmap/bmp_loader.h"

#include <array>
#include <cstring>
#include <vector>

#include "pixmap/internal/image_loaders.h"
#include "pixmap/internal/loader_support.h"

namespace vexel {

namespace {

constexpr int64_t kFileHeaderBytes = 14;
constexpr int64_t kInfoHeaderBytes = 40;

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Index of pixel x in a row of 1, 4 or 8 bits per pixel; the leftmost pixel is in the high
// bits of each byte.
inline uint8_t PaletteIndex(const uint8_t* row, int32_t x, int depth) {
    switch (depth) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case 4:
            return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        default:
            return row[x];
    }
}

}  // namespace

PixmapPtr TPixmapLoaderBMP::LoadPixmap(TStream& stream) {
    uint8_t magic[2];
    stream.ReadBytes(magic, 2);
    if (magic[0] != 'B' || magic[1] != 'M') return nullptr;
    int64_t remaining = RemainingBytes(stream);
    if (remaining < kFileHeaderBytes - 2 + kInfoHeaderBytes) return nullptr;

    uint8_t header[kFileHeaderBytes - 2 + kInfoHeaderBytes];
    stream.ReadBytes(header, sizeof header);
    remaining -= sizeof header;
    const uint32_t data_offset = Le32(header + 8);
    const uint32_t header_size = Le32(header + 12);
    const int64_t width = static_cast<int32_t>(Le32(header + 16));
    const int64_t signed_height = static_cast<int32_t>(Le32(header + 20));
    const int depth = Le16(header + 26);
    const uint32_t compression = Le32(header + 28);
    const uint32_t colours_used = Le32(header + 44);

    const bool top_down = signed_height < 0;
    const int64_t height = top_down ? -signed_height : signed_height;
    if (header_size < kInfoHeaderBytes || compression != 0 || !ImageSideOk(width, height)) {
        return nullptr;
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32) return nullptr;

    // Newer headers carry more fields after the 40 bytes we read; none of them matter here.
    const int64_t extra_header = int64_t{header_size} - kInfoHeaderBytes;
    if (extra_header > remaining) return nullptr;
    stream.SkipBytes(extra_header);
    remaining -= extra_header;

    // Unused entries stay zero, so stray indices read black instead of past the table.
    std::array<uint8_t, 256 * 4> palette{};
    int64_t palette_bytes = 0;
    if (depth <= 8) {
        const int64_t entries = colours_used ? colours_used : int64_t{1} << depth;
        palette_bytes = entries * 4;
        if (entries > (int64_t{1} << depth) || palette_bytes > remaining) return nullptr;
        stream.ReadBytes(palette.data(), palette_bytes);
        remaining -= palette_bytes;
    }
    // Writers normally start the pixels right after the palette; honour an offset beyond it.
    const int64_t position = kFileHeaderBytes + header_size + palette_bytes;
    if (data_offset != 0 && data_offset != position) {
        const int64_t gap = int64_t{data_offset} - position;
        if (gap < 0 || gap > remaining) return nullptr;
        stream.SkipBytes(gap);
        remaining -= gap;
    }

    const int64_t row_bytes = (width * depth + 31) / 32 * 4;
    if (row_bytes * height > remaining) return nullptr;

    const int32_t format = depth == 32 ? PIXEL_BGRA32 : PIXEL_BGR24;
    PixmapPtr pixmap =
        NewPixmap(static_cast<int32_t>(width), static_cast<int32_t>(height), format, 4);
    // 24 and 32-bit rows are BGR24 and BGRA32 rows already, padded to four bytes as the
    // pixmap pads its rows: they are read straight into it. Palette rows go through `row`.
    std::vector<uint8_t> row(depth >= 24 ? 0 : static_cast<size_t>(row_bytes));
    bool any_alpha = false;
    for (int64_t i = 0; i < height; ++i) {
        const auto y = static_cast<int32_t>(top_down ? i : height - 1 - i);
        uint8_t* out = pixmap->PixelPtr(0, y);
        if (depth >= 24) {
            stream.ReadBytes(out, row_bytes);
            for (int64_t x = 0; depth == 32 && !any_alpha && x < width; ++x)
                any_alpha = out[4 * x + 3] != 0;
            continue;
        }
        stream.ReadBytes(row.data(), row_bytes);
        for (int32_t x = 0; x < width; ++x) {
            std::memcpy(out + 3 * x, &palette[PaletteIndex(row.data(), x, depth) * 4u], 3);
        }
    }
    // Most writers of 32-bit BMP leave the fourth byte unused and store 0 there. Read as
    // alpha, such a file would be invisible; when no pixel has a non-zero fourth byte the
    // picture is opaque, as other decoders show it. One non-zero byte makes it real alpha.
    if (depth == 32 && !any_alpha) {
        for (int32_t y = 0; y < pixmap->height; ++y) {
            uint8_t* out = pixmap->PixelPtr(0, y);
            for (int32_t x = 0; x < pixmap->width; ++x)
                out[4 * x + 3] = 0xFF;
        }
    }
    return pixmap;
}

std::shared_ptr<TPixmapLoader> MakeBMPLoader() {
    return std::make_shared<TPixmapLoaderBMP>();
}

}  // namespace vexel
