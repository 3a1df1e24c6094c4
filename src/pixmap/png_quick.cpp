// The quick PNG decoder: the file whole in memory, its chunks walked and checked, the image
// data gathered and inflated in one call into a buffer of the size the header gives, the
// rows unfiltered into the pixmap. It takes only what it can decode exactly as libpng
// would and leaves everything else to libpng.
#include <libdeflate.h>

#include <algorithm>
#include <vector>

#include "pixmap/internal/loader_support.h"
#include "pixmap/internal/png_decoding.h"

namespace vexel {

namespace {

constexpr uint32_t ChunkName(const char (&name)[5]) {
    return uint32_t{static_cast<uint8_t>(name[0])} << 24 |
           uint32_t{static_cast<uint8_t>(name[1])} << 16 |
           uint32_t{static_cast<uint8_t>(name[2])} << 8 | uint32_t{static_cast<uint8_t>(name[3])};
}

constexpr uint32_t kIHDR = ChunkName("IHDR");
constexpr uint32_t kIDAT = ChunkName("IDAT");
constexpr uint32_t kIEND = ChunkName("IEND");
constexpr uint32_t kTRNS = ChunkName("tRNS");
// The largest chunk length PNG allows.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
// Deflate cannot compress better than about 1032 to 1.
constexpr int64_t kDeflateRatio = 1032;
// libpng refuses a chunk longer than this, or for an image data chunk, than the most its
// image can take (IdatLimit), whichever is larger.
constexpr int64_t kMaxChunkBytes = 8000000;

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool IsLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Ancillary chunks have a lower-case first letter: they may be passed over.
bool IsAncillary(uint32_t name) {
    return (name & 0x20000000u) != 0;
}

struct Chunk {
    uint32_t name = 0;
    std::span<const uint8_t> data;
};

// Reads chunks one after another, each bounded by the file and verified: length, name
// and CRC.
class ChunkReader {
  public:
    explicit ChunkReader(std::span<const uint8_t> file) : file_(file) {}

    // The next chunk; false at the end of the file or when the chunk breaks a rule.
    bool Next(Chunk& chunk) {
        if (file_.size() - at_ < 12) return false;
        const uint8_t* start = file_.data() + at_;
        const uint32_t length = Be32(start);
        if (length > kMaxChunkLength || file_.size() - at_ - 12 < length) return false;
        for (int i = 4; i < 8; ++i) {
            if (!IsLetter(start[i])) return false;
        }
        if (libdeflate_crc32(0, start + 4, length + 4) != Be32(start + 8 + length)) return false;
        chunk.name = Be32(start + 4);
        chunk.data = file_.subspan(at_ + 8, length);
        at_ += 12 + size_t{length};
        return true;
    }

    size_t Used() const { return at_; }

  private:
    std::span<const uint8_t> file_;
    size_t at_ = 0;
};

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t format = 0;
    int bpp = 0;
};

// The header of the kind of file this decoder takes: 8 bits a sample, grey, RGB or RGBA,
// the one compression and filter method, not interlaced.
bool ReadHeader(const Chunk& chunk, Header& header) {
    if (chunk.name != kIHDR || chunk.data.size() != 13) return false;
    const uint8_t* p = chunk.data.data();
    header.width = Be32(p);
    header.height = Be32(p + 4);
    const uint8_t depth = p[8], colour = p[9], compression = p[10], filter = p[11];
    const uint8_t interlace = p[12];
    if (depth != 8 || compression != 0 || filter != 0 || interlace != 0) return false;
    if (!ImageSideOk(header.width, header.height)) return false;
    switch (colour) {
        case 0:
            header.format = PIXEL_GREY8;
            break;
        case 2:
            header.format = PIXEL_RGB24;
            break;
        case 6:
            header.format = PIXEL_RGBA32;
            break;
        default:
            return false;
    }
    header.bpp = PixelFormatBytes[header.format];
    return true;
}

// The longest image data chunk libpng takes for the image of `header`: its filtered bytes
// with room for zlib's framing and for stored blocks.
int64_t IdatLimit(const Header& header) {
    const int64_t row_factor = int64_t{header.width} * header.bpp + 1;
    int64_t limit = std::min<int64_t>(int64_t{header.height} * row_factor, kMaxChunkLength);
    limit += 6 + 5 * (limit / std::min<int64_t>(row_factor, 32566) + 1);
    return std::max(kMaxChunkBytes, std::min<int64_t>(limit, kMaxChunkLength));
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One decompressor per thread, made on first use.
libdeflate_decompressor* Decompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

// Inflates the whole zlib stream `data` into exactly `out.size()` bytes; false unless the
// stream is sound (header, blocks, Adler-32), fills `out` exactly and ends where `data` ends.
bool Inflate(std::span<const uint8_t> data, std::span<uint8_t> out) {
    if (data.size() < 2) return false;
    // A stream that declares a window under 32 KiB may not reach further back than that,
    // which zlib enforces and libdeflate does not; such a stream goes to libpng unless its
    // whole output fits in the window.
    const int window_bits = (data[0] >> 4) + 8;
    if (window_bits > 15) return false;
    if (window_bits < 15 && out.size() > (size_t{1} << window_bits)) return false;
    libdeflate_decompressor* decompressor = Decompressor();
    if (!decompressor) return false;
    size_t used = 0;
    return libdeflate_zlib_decompress_ex(decompressor, data.data(), data.size(), out.data(),
                                         out.size(), &used, nullptr) == LIBDEFLATE_SUCCESS &&
           used == data.size();
}

}  // namespace

bool TakesPngHeader(std::span<const uint8_t> file, WantedSize wanted) {
    ChunkReader chunks(file);
    Chunk chunk;
    Header header;
    return chunks.Next(chunk) && ReadHeader(chunk, header) &&
           wanted.Accepts(header.width, header.height);
}

PixmapPtr DecodePngQuickly(std::span<const uint8_t> file, size_t& used, WantedSize wanted) {
    ChunkReader chunks(file);
    Chunk chunk;
    Header header;
    if (!chunks.Next(chunk) || !ReadHeader(chunk, header)) return nullptr;
    if (!wanted.Accepts(header.width, header.height)) return nullptr;

    // Every chunk within the lengths libpng takes.
    const int64_t idat_limit = IdatLimit(header);
    auto next = [&] {
        if (!chunks.Next(chunk)) return false;
        const auto length = static_cast<int64_t>(chunk.data.size());
        return length <= (chunk.name == kIDAT ? idat_limit : kMaxChunkBytes);
    };
    // Up to the image data only ancillary chunks other than tRNS may come; they do not
    // change the pixels. A palette or a transparency chunk needs libpng's transforms.
    do {
        if (!next()) return nullptr;
        if (chunk.name != kIDAT && (!IsAncillary(chunk.name) || chunk.name == kTRNS))
            return nullptr;
    } while (chunk.name != kIDAT);

    // The data chunks follow each other; one of them is used where it lies.
    std::vector<uint8_t> gathered;
    std::span<const uint8_t> data = chunk.data;
    while (true) {
        if (!next()) return nullptr;
        if (chunk.name != kIDAT) break;
        if (gathered.empty()) gathered.assign(data.begin(), data.end());
        gathered.insert(gathered.end(), chunk.data.begin(), chunk.data.end());
        data = gathered;
    }
    // Then ancillary chunks up to an empty IEND.
    while (chunk.name != kIEND) {
        if (!IsAncillary(chunk.name) || chunk.name == kTRNS) return nullptr;
        if (!next()) return nullptr;
    }
    if (!chunk.data.empty()) return nullptr;

    const size_t row_bytes = size_t{header.width} * static_cast<size_t>(header.bpp);
    const size_t filtered_bytes = size_t{header.height} * (1 + row_bytes);
    if (static_cast<int64_t>(filtered_bytes) > static_cast<int64_t>(data.size()) * kDeflateRatio)
        return nullptr;

    // The image data is inflated into the end of the pixmap's own memory and unfiltered
    // from there into its rows, front to back: each row is written no later in memory than
    // its filtered bytes lie, so no byte is overwritten before it has been read. Rows without
    // padding need a few more rows of memory for that, hidden afterwards.
    const size_t pitch = (row_bytes + 3) / 4 * 4;
    const size_t spare_rows = pitch == row_bytes ? header.height / pitch + 1 : 0;
    PixmapPtr pixmap =
        NewPixmap(static_cast<int32_t>(header.width),
                  static_cast<int32_t>(header.height + spare_rows), header.format, 4);
    const size_t capacity = static_cast<size_t>(pixmap->capacity);
    if (static_cast<size_t>(pixmap->pitch) != pitch || capacity < filtered_bytes) return nullptr;
    uint8_t* const filtered = pixmap->pixels + (capacity - filtered_bytes);
    if (!Inflate(data, std::span(filtered, filtered_bytes))) return nullptr;
    pixmap->height = static_cast<int32_t>(header.height);

    const uint8_t* prior = nullptr;
    for (int32_t y = 0; y < pixmap->height; ++y) {
        const uint8_t* in = filtered + static_cast<size_t>(y) * (1 + row_bytes);
        uint8_t* out = pixmap->PixelPtr(0, y);
        if (!UnfilterPngRow(in[0], in + 1, prior, out, row_bytes, header.bpp)) return nullptr;
        prior = out;
    }
    used = chunks.Used();
    return pixmap;
}

}  // namespace vexel
