#include "pixmap/pixmap.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "runtime/error.h"

namespace vexel {

namespace {

constexpr std::align_val_t kPixelAlignment{16};

inline uint32_t LoadWord(const uint8_t* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

inline void StoreWord(uint8_t* p, uint32_t w) {
    std::memcpy(p, &w, 4);
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

size_t RowBytes(const TPixmap& pixmap) {
    return static_cast<size_t>(pixmap.width) * static_cast<size_t>(BytesPerPixel(pixmap.format));
}

// The pixmap itself when it is RGBA32, otherwise an RGBA32 copy held in `converted`.
const TPixmap& AsRGBA(const TPixmap& pixmap, PixmapPtr& converted) {
    if (pixmap.format == PIXEL_RGBA32) return pixmap;
    converted = pixmap.Convert(PIXEL_RGBA32);
    return *converted;
}

}  // namespace

TPixmap::~TPixmap() {
    if (capacity >= 0 && pixels) ::operator delete(pixels, kPixelAlignment);
}

uint8_t* TPixmap::PixelPtr(int32_t x, int32_t y) const {
    return pixels + static_cast<ptrdiff_t>(y) * pitch +
           static_cast<ptrdiff_t>(x) * BytesPerPixel(format);
}

PixmapPtr TPixmap::Window(int32_t x, int32_t y, int32_t w, int32_t h) {
    PixmapPtr window = CreateStatic(PixelPtr(x, y), w, h, pitch, format);
    window->_source = shared_from_this();
    return window;
}

PixmapPtr TPixmap::Copy() const {
    PixmapPtr copy = Create(width, height, format, 4);
    const size_t bytes = RowBytes(*this);
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
        pixmap->pixels =
            static_cast<uint8_t*>(::operator new(static_cast<size_t>(bytes), kPixelAlignment));
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
    const size_t row_bytes = RowBytes(*this);
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

PixmapPtr ColorKeyPixmap(const TPixmap& pixmap, int32_t red, int32_t green, int32_t blue) {
    PixmapPtr converted;
    const TPixmap& source = AsRGBA(pixmap, converted);
    PixmapPtr result = NewPixmap(source.width, source.height, PIXEL_RGBA32, 4);
    // Compared as the low three bytes of each RGBA word, leaving alpha out.
    const uint32_t key = (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
    const int32_t w = source.width;
    const int32_t h = source.height;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = source.PixelPtr(0, y);
        uint8_t* out = result->PixelPtr(0, y);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t word = LoadWord(row + 4 * x);
            if ((word & 0xFFFFFFu) != key) {
                StoreWord(out + 4 * x, word | 0xFF000000u);
                continue;
            }
            uint32_t n = 0, sum_r = 0, sum_g = 0, sum_b = 0;
            for (int32_t ny = y - 1; ny <= y + 1; ++ny) {
                if (ny < 0 || ny >= h) continue;
                const uint8_t* neighbours = source.PixelPtr(0, ny);
                for (int32_t nx = x - 1; nx <= x + 1; ++nx) {
                    if (nx < 0 || nx >= w) continue;
                    const uint32_t other = LoadWord(neighbours + 4 * nx);
                    if ((other & 0xFFFFFFu) == key) continue;
                    ++n;
                    sum_r += other & 0xFF;
                    sum_g += other >> 8 & 0xFF;
                    sum_b += other >> 16 & 0xFF;
                }
            }
            StoreWord(out + 4 * x, n ? sum_r / n | (sum_g / n) << 8 | (sum_b / n) << 16 : 0u);
        }
    }
    return result;
}

PixmapPtr MirrorPixmapX(const TPixmap& pixmap) {
    PixmapPtr result = NewPixmap(pixmap.width, pixmap.height, pixmap.format, 4);
    const int32_t bytes = BytesPerPixel(pixmap.format);
    for (int32_t y = 0; y < pixmap.height; ++y) {
        const uint8_t* in = pixmap.PixelPtr(0, y);
        uint8_t* out = result->PixelPtr(pixmap.width - 1, y);
        for (int32_t x = 0; x < pixmap.width; ++x, in += bytes, out -= bytes) {
            std::memcpy(out, in, static_cast<size_t>(bytes));
        }
    }
    return result;
}

PixmapPtr MirrorPixmapY(const TPixmap& pixmap) {
    PixmapPtr result = NewPixmap(pixmap.width, pixmap.height, pixmap.format, 4);
    const size_t bytes = RowBytes(pixmap);
    for (int32_t y = 0; y < pixmap.height; ++y) {
        std::memcpy(result->PixelPtr(0, pixmap.height - 1 - y), pixmap.PixelPtr(0, y), bytes);
    }
    return result;
}

PixmapPtr ScalePixmap(const TPixmap& pixmap, int32_t new_width, int32_t new_height) {
    // A zero size would divide by zero below and yields no image at all.
    if (new_width <= 0 || new_height <= 0 || pixmap.width <= 0 || pixmap.height <= 0) {
        return nullptr;
    }
    PixmapPtr converted;
    const TPixmap& source = AsRGBA(pixmap, converted);
    PixmapPtr result = NewPixmap(new_width, new_height, pixmap.format, 4);
    const float xs = static_cast<float>(source.width) / static_cast<float>(new_width);
    const float ys = static_cast<float>(source.height) / static_cast<float>(new_height);

    // The horizontal sampling is the same on every row.
    std::vector<int32_t> column_offset(static_cast<size_t>(new_width));
    std::vector<int32_t> column_step(static_cast<size_t>(new_width));
    std::vector<float> column_fraction(static_cast<size_t>(new_width));
    for (int32_t x = 0; x < new_width; ++x) {
        const float fx = (static_cast<float>(x) + 0.5f) * xs - 0.5f;
        int32_t ix = static_cast<int32_t>(std::floor(fx));
        float tx = fx - static_cast<float>(ix);
        int32_t step = 4;
        if (ix < 0) {
            ix = 0, tx = 0, step = 0;
        } else if (ix >= source.width - 1) {
            ix = source.width - 1, tx = 0, step = 0;
        }
        column_offset[x] = ix * 4;
        column_step[x] = step;
        column_fraction[x] = tx;
    }

    std::vector<uint8_t> work(result->format == PIXEL_RGBA32 ? 0
                                                             : static_cast<size_t>(new_width) * 4);
    for (int32_t y = 0; y < new_height; ++y) {
        const float fy = (static_cast<float>(y) + 0.5f) * ys - 0.5f;
        int32_t iy = static_cast<int32_t>(std::floor(fy));
        float ty = fy - static_cast<float>(iy);
        ptrdiff_t row_step = source.pitch;
        if (iy < 0) {
            iy = 0, ty = 0, row_step = 0;
        } else if (iy >= source.height - 1) {
            iy = source.height - 1, ty = 0, row_step = 0;
        }
        const uint8_t* row = source.PixelPtr(0, iy);
        uint8_t* out = work.empty() ? result->PixelPtr(0, y) : work.data();
        for (int32_t x = 0; x < new_width; ++x) {
            const uint8_t* p = row + column_offset[x];
            const ptrdiff_t col_step = column_step[x];
            const float tx = column_fraction[x];
            for (int k = 0; k < 4; ++k) {
                const float q00 = p[k];
                const float q10 = p[k + col_step];
                const float q01 = p[k + row_step];
                const float q11 = p[k + row_step + col_step];
                const float top = q00 + (q10 - q00) * tx;
                const float bottom = q01 + (q11 - q01) * tx;
                const float value = top + (bottom - top) * ty;
                out[4 * x + k] = static_cast<uint8_t>(static_cast<int32_t>(value));
            }
        }
        if (!work.empty())
            PackRowFromRGBA(work.data(), result->PixelPtr(0, y), result->format, new_width);
    }
    return result;
}

}  // namespace vexel
