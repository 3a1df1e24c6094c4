#include "pixmap/pixmap.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "pixmap/internal/pixel_word.h"
#include "runtime/error.h"

namespace vexel {

namespace {

constexpr std::align_val_t kPixelAlignment{16};

// Pixel memory of large pixmaps, kept when they go so that the next large pixmap can have it.
// Loading pictures one after another (or a loader's working copies) would otherwise take
// every page afresh from the kernel, where a large block that the allocator hands back is
// unmapped at once. Blocks of at least kLargeBytes are kept, up to kKeptBytes in all, the
// oldest dropped first to make room; a request takes the smallest kept block that is large
// enough and not more than a quarter larger. A block handed out may thus be larger than its
// pixmap asked for, so its real size is remembered until it comes back. Any thread may make
// or drop a pixmap, hence the lock.
class LargeBlocks {
  public:
    static constexpr size_t kLargeBytes = size_t{1} << 20;
    static constexpr size_t kKeptBytes = size_t{64} << 20;

    uint8_t* Take(size_t bytes) {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto best = kept_blocks_.end();
        for (auto it = kept_blocks_.begin(); it != kept_blocks_.end(); ++it) {
            if (it->bytes >= bytes && it->bytes - bytes <= bytes / 4 &&
                (best == kept_blocks_.end() || it->bytes < best->bytes)) {
                best = it;
            }
        }
        if (best == kept_blocks_.end()) return nullptr;
        const Block block = *best;
        kept_ -= block.bytes;
        kept_blocks_.erase(best);
        if (block.bytes != bytes) lent_.push_back(block);
        return block.memory;
    }

    // Keeps the block, dropping the oldest kept ones when it would not fit otherwise.
    // `bytes` is what the pixmap asked for; a block lent for a smaller request comes back
    // whole.
    void Give(uint8_t* memory, size_t bytes) {
        std::vector<Block> dropped;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            for (auto it = lent_.begin(); it != lent_.end(); ++it) {
                if (it->memory == memory) {
                    bytes = it->bytes;
                    lent_.erase(it);
                    break;
                }
            }
            if (bytes > kKeptBytes) {
                dropped.push_back({memory, bytes});
            } else {
                auto oldest = kept_blocks_.begin();
                while (kept_ + bytes > kKeptBytes) {
                    kept_ -= oldest->bytes;
                    dropped.push_back(*oldest++);
                }
                kept_blocks_.erase(kept_blocks_.begin(), oldest);
                kept_blocks_.push_back({memory, bytes});
                kept_ += bytes;
            }
        }
        for (const Block& block : dropped)
            ::operator delete(block.memory, kPixelAlignment);
    }

  private:
    struct Block {
        uint8_t* memory;
        size_t bytes;
    };
    std::mutex mutex_;
    std::vector<Block> kept_blocks_;  // oldest first
    std::vector<Block> lent_;         // handed out for a request smaller than the block
    size_t kept_ = 0;
};

// Never destroyed: pixmaps held by long-lived objects may go during static destruction.
LargeBlocks& TheLargeBlocks() {
    static LargeBlocks* const blocks = new LargeBlocks;
    return *blocks;
}

uint8_t* AllocatePixels(size_t bytes) {
    if (bytes >= LargeBlocks::kLargeBytes) {
        if (uint8_t* memory = TheLargeBlocks().Take(bytes)) return memory;
    }
    return static_cast<uint8_t*>(::operator new(bytes, kPixelAlignment));
}

void FreePixels(uint8_t* memory, size_t bytes) {
    if (bytes >= LargeBlocks::kLargeBytes) return TheLargeBlocks().Give(memory, bytes);
    ::operator delete(memory, kPixelAlignment);
}

// The bytes that WritePixel stores for `argb` in `format`, in memory order. False for the
// formats that single-pixel access does not cover (7-12).
bool PackColor(int32_t format, int32_t argb, uint8_t bytes[4]) {
    const auto v = static_cast<uint32_t>(argb);
    const uint8_t a = v >> 24, r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
    switch (format) {
        case PIXEL_GREY8:
            bytes[0] = static_cast<uint8_t>((r + g + b) / 3);
            return true;
        case PIXEL_ALPHA8:
            bytes[0] = a;
            return true;
        case PIXEL_BGR24:
            bytes[0] = b, bytes[1] = g, bytes[2] = r;
            return true;
        case PIXEL_RGB24:
            bytes[0] = r, bytes[1] = g, bytes[2] = b;
            return true;
        case PIXEL_BGRA32:
            bytes[0] = b, bytes[1] = g, bytes[2] = r, bytes[3] = a;
            return true;
        case PIXEL_RGBA32:
            bytes[0] = r, bytes[1] = g, bytes[2] = b, bytes[3] = a;
            return true;
        default:
            return false;
    }
}

}  // namespace

TPixmap::~TPixmap() {
    if (capacity >= 0 && pixels) FreePixels(pixels, static_cast<size_t>(capacity));
}

PixmapPtr TPixmap::Window(int32_t x, int32_t y, int32_t w, int32_t h) {
    PixmapPtr window = CreateStatic(PixelPtr(x, y), w, h, pitch, format);
    window->_source = shared_from_this();
    return window;
}

PixmapPtr TPixmap::Copy() const {
    PixmapPtr copy = Create(width, height, format, 4);
    const size_t bytes = RowBytes(width, format);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(copy->PixelPtr(0, y), PixelPtr(0, y), bytes);
    return copy;
}

int TPixmap::Paste(const TPixmap& source, int32_t x, int32_t y) {
    for (int32_t i = 0; i < source.height; ++i) {
        ConvertPixelRow(source.PixelPtr(0, i), source.format, PixelPtr(x, y + i), format,
                        source.width);
    }
    return 0;
}

PixmapPtr TPixmap::Convert(int32_t new_format) const {
    PixmapPtr result = Create(width, height, new_format, 4);
    for (int32_t y = 0; y < height; ++y) {
        ConvertPixelRow(PixelPtr(0, y), format, result->PixelPtr(0, y), new_format, width);
    }
    return result;
}

int32_t TPixmap::ReadPixel(int32_t x, int32_t y) const {
    const uint8_t* p = PixelPtr(x, y);
    uint32_t argb;
    switch (format) {
        case PIXEL_GREY8:
            argb = 0xFF000000u + p[0] * 0x10101u;
            break;
        case PIXEL_ALPHA8:
            argb = (uint32_t{p[0]} << 24) + 0x00FFFFFFu;
            break;
        case PIXEL_BGR24:
            argb = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
            break;
        case PIXEL_RGB24:
            argb = 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2];
            break;
        case PIXEL_BGRA32:
            argb = uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
            break;
        case PIXEL_RGBA32:
            argb = uint32_t{p[3]} << 24 | p[0] << 16 | p[1] << 8 | p[2];
            break;
        default:
            return 0;
    }
    return static_cast<int32_t>(argb);
}

int TPixmap::WritePixel(int32_t x, int32_t y, int32_t argb) {
    uint8_t bytes[4];
    if (PackColor(format, argb, bytes))
        std::memcpy(PixelPtr(x, y), bytes, PixelFormatBytes[format]);
    return 0;
}

PixmapPtr TPixmap::Create(int32_t w, int32_t h, int32_t new_format, int32_t align) {
    const int64_t row = int64_t{w} * BytesPerPixel(new_format);
    if (w < 0 || h < 0 || align <= 0) throw RuntimeError(u"Invalid pixmap size");
    const int64_t padded = (row + align - 1) / align * align;
    const int64_t bytes = padded * h;
    if (bytes > std::numeric_limits<int32_t>::max()) throw RuntimeError(u"Invalid pixmap size");
    auto pixmap = std::make_shared<TPixmap>();
    if (bytes > 0) {
        pixmap->pixels = AllocatePixels(static_cast<size_t>(bytes));
    }
    pixmap->width = w;
    pixmap->height = h;
    pixmap->pitch = static_cast<int32_t>(padded);
    pixmap->format = new_format;
    pixmap->capacity = static_cast<int32_t>(bytes);
    return pixmap;
}

PixmapPtr TPixmap::CreateStatic(uint8_t* memory, int32_t w, int32_t h, int32_t row_pitch,
                                int32_t new_format) {
    auto pixmap = std::make_shared<TPixmap>();
    pixmap->pixels = memory;
    pixmap->width = w;
    pixmap->height = h;
    pixmap->pitch = row_pitch;
    pixmap->format = new_format;
    pixmap->capacity = -1;
    return pixmap;
}

int TPixmap::ClearPixels(int32_t argb) {
    const size_t row_bytes = RowBytes(width, format);
    if (argb == 0 && static_cast<size_t>(pitch) == row_bytes) {
        if (pixels) std::memset(pixels, 0, row_bytes * static_cast<size_t>(height));
        return 0;
    }
    uint8_t bytes[4];
    if (argb != 0 && !PackColor(format, argb, bytes)) return 0;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = PixelPtr(0, y);
        if (argb == 0 || BytesPerPixel(format) == 1) {
            std::memset(row, argb == 0 ? 0 : bytes[0], row_bytes);
        } else if (BytesPerPixel(format) == 4) {
            const uint32_t word = LoadWord(bytes);
            for (int32_t x = 0; x < width; ++x)
                StoreWord(row + 4 * x, word);
        } else {
            for (int32_t x = 0; x < width; ++x)
                std::memcpy(row + 3 * x, bytes, 3);
        }
    }
    return 0;
}

PixmapPtr NewPixmap(int32_t width, int32_t height, int32_t format, int32_t align) {
    return TPixmap::Create(width, height, format, align);
}

PixmapPtr WrapPixmapMemory(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
                           int32_t format) {
    return TPixmap::CreateStatic(pixels, width, height, pitch, format);
}

PixmapPtr DuplicatePixmap(const TPixmap& pixmap) {
    return pixmap.Copy();
}
PixmapPtr ReformatPixmap(const TPixmap& pixmap, int32_t format) {
    return pixmap.Convert(format);
}
int32_t PixmapWidthOf(const TPixmap& pixmap) {
    return pixmap.width;
}
int32_t PixmapHeightOf(const TPixmap& pixmap) {
    return pixmap.height;
}
int32_t PixmapPitchOf(const TPixmap& pixmap) {
    return pixmap.pitch;
}
int32_t PixmapFormatOf(const TPixmap& pixmap) {
    return pixmap.format;
}
uint8_t* PixmapAddressOf(const TPixmap& pixmap, int32_t x, int32_t y) {
    return pixmap.PixelPtr(x, y);
}

PixmapPtr PixmapSubWindow(TPixmap& pixmap, int32_t x, int32_t y, int32_t width, int32_t height) {
    return pixmap.Window(x, y, width, height);
}

int32_t ReadPixmapPixel(const TPixmap& pixmap, int32_t x, int32_t y) {
    return pixmap.ReadPixel(x, y);
}
void WritePixmapPixel(TPixmap& pixmap, int32_t x, int32_t y, int32_t argb) {
    pixmap.WritePixel(x, y, argb);
}
void FillPixmap(TPixmap& pixmap, int32_t argb) {
    pixmap.ClearPixels(argb);
}
}  // namespace vexel
