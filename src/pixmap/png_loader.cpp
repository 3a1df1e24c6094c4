#include "pixmap/png_loader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <memory>
#include <span>
#include <vector>

#include "pixmap/internal/image_loaders.h"
#include "pixmap/internal/loader_support.h"
#include "pixmap/internal/png_decoding.h"
#include "stream/durable_save.h"
#include "stream/stream_factory.h"

namespace vexel {

namespace {

// libpng reports errors by longjmp. Every libpng call that can fail runs inside one of the
// small functions below, whose frame holds only C state, and which return false when
// libpng jumped back; no C++ destructor is ever skipped. A stream exception raised inside a
// callback is parked in `error` and turned into a libpng error, so it never unwinds through
// library frames; the caller rethrows it once libpng has let go.
struct PngIo {
    png_structp png = nullptr;
    png_infop info = nullptr;
    TStream* stream = nullptr;
    std::exception_ptr error;
};

// Deflate cannot compress better than about 1032 to 1: a file can describe at most this many
// bytes of filtered image data per byte it holds.
constexpr int64_t kDeflateRatio = 1032;
// The largest file the quick decoder reads whole; larger ones go to libpng chunk by chunk.
constexpr int64_t kMaxWholeFile = int64_t{256} << 20;

void ErrorCallback(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Runs one stream operation for libpng; a failure is parked and reported to libpng as an
// error once the C++ scope has closed.
template <typename Operation>
void WithStream(png_structp png, Operation operation) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        operation(*io->stream);
    } catch (...) {
        io->error = std::current_exception();
        failed = true;
    }
    if (failed) png_error(png, "stream");
}

void ReadCallback(png_structp png, png_bytep data, size_t length) {
    WithStream(png, [&](TStream& stream) { stream.ReadBytes(data, static_cast<int64_t>(length)); });
}

void WriteCallback(png_structp png, png_bytep data, size_t length) {
    WithStream(png,
               [&](TStream& stream) { stream.WriteBytes(data, static_cast<int64_t>(length)); });
}

void FlushCallback(png_structp png) {
    WithStream(png, [](TStream& stream) {
        if (stream.Flush() != 0) throw TStreamWriteException();
    });
}

// The decoded layout, after the transforms.
struct PngLayout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bit_depth = 0;
    int color_type = 0;
    size_t row_bytes = 0;
    int64_t filtered_bytes = 0;  // least amount of inflated data the file must hold
};

// Reads the header and sets up the transforms; the pixels have not been read yet.
bool ReadPngLayout(PngIo& io, PngLayout& layout) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    png_set_sig_bytes(io.png, 8);
    png_set_user_limits(io.png, kMaxImageSide, kMaxImageSide);
    // Only the chunks the pixels need are processed (header, palette, transparency, data);
    // every other one is passed over unread. libpng would otherwise allocate whatever size a
    // text or profile chunk announces before finding out that the file does not hold it.
    png_set_keep_unknown_chunks(io.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(io.png, io.info);
    const png_uint_32 width = png_get_image_width(io.png, io.info);
    const png_uint_32 height = png_get_image_height(io.png, io.info);
    const int64_t bits_per_pixel =
        int64_t{png_get_channels(io.png, io.info)} * png_get_bit_depth(io.png, io.info);
    layout.filtered_bytes = int64_t{height} * (1 + (int64_t{width} * bits_per_pixel + 7) / 8);

    // PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND; grey with alpha (after expansion) is
    // spread to RGBA by libpng itself, which is what we would do by hand afterwards.
    png_set_strip_16(io.png);
    png_set_expand(io.png);
    const int original_type = png_get_color_type(io.png, io.info);
    if ((original_type & PNG_COLOR_MASK_COLOR) == 0 &&
        ((original_type & PNG_COLOR_MASK_ALPHA) != 0 ||
         png_get_valid(io.png, io.info, PNG_INFO_tRNS) != 0)) {
        png_set_gray_to_rgb(io.png);
    }
    png_set_interlace_handling(io.png);
    png_read_update_info(io.png, io.info);

    layout.width = png_get_image_width(io.png, io.info);
    layout.height = png_get_image_height(io.png, io.info);
    layout.bit_depth = png_get_bit_depth(io.png, io.info);
    layout.color_type = png_get_color_type(io.png, io.info);
    layout.row_bytes = png_get_rowbytes(io.png, io.info);
    return true;
}

bool ReadPngRows(PngIo& io, png_bytepp rows) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    png_read_image(io.png, rows);
    png_read_end(io.png, io.info);
    return true;
}

struct PngSettings {
    png_uint_32 width;
    png_uint_32 height;
    int color_type;
    int transforms;
    int level;
};

bool WritePng(PngIo& io, const PngSettings& settings, png_bytepp rows) {
    if (setjmp(png_jmpbuf(io.png))) return false;
    png_set_write_fn(io.png, &io, WriteCallback, FlushCallback);
    png_set_compression_level(io.png, settings.level);
    png_set_IHDR(io.png, io.info, settings.width, settings.height, 8, settings.color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(io.png, io.info, rows);
    png_write_png(io.png, io.info, settings.transforms, nullptr);
    return true;
}

// Owns the libpng structures of one operation.
class PngReadHandle {
  public:
    explicit PngReadHandle(PngIo& io) : io_(io) {
        io.png = png_create_read_struct(png_get_libpng_ver(nullptr), &io, ErrorCallback, nullptr);
        if (io.png) io.info = png_create_info_struct(io.png);
    }
    ~PngReadHandle() {
        if (io_.png) png_destroy_read_struct(&io_.png, io_.info ? &io_.info : nullptr, nullptr);
    }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;
    bool Ok() const { return io_.png && io_.info; }

  private:
    PngIo& io_;
};

class PngWriteHandle {
  public:
    explicit PngWriteHandle(PngIo& io) : io_(io) {
        io.png = png_create_write_struct(png_get_libpng_ver(nullptr), &io, ErrorCallback, nullptr);
        if (io.png) io.info = png_create_info_struct(io.png);
    }
    ~PngWriteHandle() {
        if (io_.png) png_destroy_write_struct(&io_.png, io_.info ? &io_.info : nullptr);
    }
    PngWriteHandle(const PngWriteHandle&) = delete;
    PngWriteHandle& operator=(const PngWriteHandle&) = delete;
    bool Ok() const { return io_.png && io_.info; }

  private:
    PngIo& io_;
};

int32_t FormatOfLayout(const PngLayout& layout) {
    if (layout.bit_depth != 8) return 0;
    switch (layout.color_type) {
        case PNG_COLOR_TYPE_GRAY:
            return PIXEL_GREY8;
        case PNG_COLOR_TYPE_RGB:
            return PIXEL_RGB24;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return PIXEL_RGBA32;
        default:
            return 0;
    }
}

// The quick decoder over the file's bytes, in place when the stream holds them in memory,
// read whole otherwise; null when it does not take the file (or the file is too large to
// read whole), and then the stream's position is undefined.
PixmapPtr DecodeWholeFile(TStream& stream, int64_t start, WantedSize wanted) {
    png_byte signature[8];
    if (stream.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) return nullptr;
    std::span<const uint8_t> file = MemoryBytesAhead(stream);
    std::unique_ptr<uint8_t[]> copy;
    if (file.empty()) {
        // The header first: a file the quick decoder does not take is not read whole.
        const int64_t remaining = RemainingBytes(stream);
        const auto head = static_cast<int64_t>(kPngHeaderChunkBytes);
        if (remaining < head || remaining > kMaxWholeFile) return nullptr;
        uint8_t header[kPngHeaderChunkBytes];
        if (stream.Read(header, head) != head || !TakesPngHeader(header, wanted)) return nullptr;
        copy = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(remaining));
        std::memcpy(copy.get(), header, kPngHeaderChunkBytes);
        if (stream.Read(copy.get() + head, remaining - head) != remaining - head) return nullptr;
        file = std::span(copy.get(), static_cast<size_t>(remaining));
    }
    size_t used = 0;
    PixmapPtr pixmap = DecodePngQuickly(file, used, wanted);
    if (pixmap) stream.Seek(start + 8 + static_cast<int64_t>(used));
    return pixmap;
}

PixmapPtr DecodePng(TStream& stream, WantedSize wanted = {}) {
    const int64_t start = stream.Pos();
    if (start >= 0) {
        if (PixmapPtr pixmap = DecodeWholeFile(stream, start, wanted)) return pixmap;
        stream.Seek(start);
    }
    return DecodePngThroughLibpng(stream, wanted);
}

}  // namespace

PixmapPtr DecodePngThroughLibpng(TStream& stream, WantedSize wanted) {
    png_byte signature[8];
    stream.ReadBytes(signature, 8);
    if (png_sig_cmp(signature, 0, 8) != 0) return nullptr;

    PngIo io;
    io.stream = &stream;
    PngReadHandle handle(io);
    if (!handle.Ok()) return nullptr;
    png_set_read_fn(io.png, &io, ReadCallback);

    PngLayout layout;
    const bool have_layout = ReadPngLayout(io, layout);
    if (io.error) std::rethrow_exception(io.error);
    if (!have_layout) return nullptr;

    const int32_t format = FormatOfLayout(layout);
    if (format == 0 || !ImageSideOk(layout.width, layout.height) ||
        !wanted.Accepts(layout.width, layout.height)) {
        return nullptr;
    }
    if (layout.row_bytes != size_t{layout.width} * static_cast<size_t>(PixelFormatBytes[format])) {
        return nullptr;
    }
    const int64_t remaining = RemainingBytes(stream);
    if (remaining >= 0 && layout.filtered_bytes > (remaining + 1) * kDeflateRatio) return nullptr;

    PixmapPtr pixmap = NewPixmap(static_cast<int32_t>(layout.width),
                                 static_cast<int32_t>(layout.height), format, 4);
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y)
        rows[y] = pixmap->PixelPtr(0, static_cast<int32_t>(y));
    const bool have_rows = ReadPngRows(io, rows.data());
    if (io.error) std::rethrow_exception(io.error);
    return have_rows ? pixmap : nullptr;
}

PixmapPtr LoadPNGPixmap(const Url& url) {
    StreamPtr stream = OpenFileRead(url);
    if (!stream) return nullptr;
    StreamCloser closer(*stream);
    return DecodePng(*stream);
}

bool SavePNGPixmap(const TPixmap& pixmap, const Url& url, int32_t level) {
    level = std::clamp(level, 0, 9);
    StreamPtr stream = OpenFileWrite(url);
    if (!stream) return false;
    // A save that stops part-way (a failure, an exception) leaves the old file as it was.
    SaveGuard save(*stream);

    PixmapPtr converted;
    const TPixmap* source = &pixmap;
    PngSettings settings{static_cast<png_uint_32>(pixmap.width),
                         static_cast<png_uint_32>(pixmap.height), PNG_COLOR_TYPE_RGB_ALPHA,
                         PNG_TRANSFORM_IDENTITY, level};
    switch (pixmap.format) {
        case PIXEL_GREY8:
            settings.color_type = PNG_COLOR_TYPE_GRAY;
            break;
        case PIXEL_RGB24:
            settings.color_type = PNG_COLOR_TYPE_RGB;
            break;
        case PIXEL_BGR24:
            settings.color_type = PNG_COLOR_TYPE_RGB;
            settings.transforms = PNG_TRANSFORM_BGR;
            break;
        case PIXEL_RGBA32:
            break;
        case PIXEL_BGRA32:
            settings.transforms = PNG_TRANSFORM_BGR;
            break;
        default:
            converted = pixmap.Convert(PIXEL_RGBA32);
            source = converted.get();
            break;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(std::max(source->height, 0)));
    for (int32_t y = 0; y < source->height; ++y)
        rows[static_cast<size_t>(y)] = source->PixelPtr(0, y);

    PngIo io;
    io.stream = stream.get();
    PngWriteHandle handle(io);
    if (!handle.Ok()) return false;
    const bool written = WritePng(io, settings, rows.data());
    if (io.error) std::rethrow_exception(io.error);
    // A full disk may refuse the last buffered bytes only when the file is closed.
    return written && save.Close();
}

PixmapPtr TPixmapLoaderPNG::LoadPixmap(TStream& stream) {
    return DecodePng(stream);
}

PixmapPtr TPixmapLoaderPNG::LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height) {
    return DecodePng(stream, {width, height});
}

std::shared_ptr<TPixmapLoader> MakePNGLoader() {
    return std::make_shared<TPixmapLoaderPNG>();
}

}  // namespace vexel
