#include "pixmap/jpeg_loader.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <exception>

#include "pixmap/internal/image_loaders.h"
#include "pixmap/internal/loader_support.h"
#include "stream/durable_save.h"
#include "stream/stream_factory.h"

namespace vexel {

namespace {

// libjpeg reports errors by longjmp back to `jump`. As with PNG, every libjpeg call that can
// fail runs in a small function holding only C state, which returns false after a jump.
struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
void SilentMessage(j_common_ptr) {}

void InitErrors(JpegError& error) {
    jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = SilentMessage;
}

// A deflate-like bound: a baseline JPEG spends at least two bits on every 8x8 block of every
// component, so a file cannot honestly describe much more than this many pixel bytes per
// byte it holds. Progressive files can do better; those that do are declined.
constexpr int64_t kJpegRatio = 1024;

struct JpegSource {
    jpeg_source_mgr pub;
    TStream* stream;
    std::exception_ptr error;  // a stream failure, rethrown once libjpeg has let go
    JOCTET buffer[4096];
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<JpegSource*>(cinfo->src);
    int64_t n = 0;
    try {
        n = source->stream->Read(source->buffer, sizeof source->buffer);
    } catch (...) {
        source->error = std::current_exception();
    }
    if (n <= 0) {
        // Data that ends early reads as the end of the image, as libjpeg expects, rather
        // than as more bytes from past the end.
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = static_cast<size_t>(n);
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<JpegSource*>(cinfo->src);
    while (count > static_cast<long>(source->pub.bytes_in_buffer)) {
        count -= static_cast<long>(source->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    if (count > 0) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= static_cast<size_t>(count);
    }
}

void TermSource(j_decompress_ptr) {}

struct JpegImage {
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    int components = 0;
};

bool ReadJpegHeader(jpeg_decompress_struct& cinfo, JpegError& error, JpegSource& source,
                    JpegImage& image) {
    if (setjmp(error.jump)) return false;
    jpeg_create_decompress(&cinfo);
    cinfo.src = &source.pub;
    jpeg_read_header(&cinfo, TRUE);
    jpeg_calc_output_dimensions(&cinfo);
    image.width = cinfo.output_width;
    image.height = cinfo.output_height;
    image.components = cinfo.output_components;
    return true;
}

bool ReadJpegRows(jpeg_decompress_struct& cinfo, JpegError& error, const JpegImage& image,
                  JSAMPLE* pixels, ptrdiff_t pitch) {
    if (setjmp(error.jump)) return false;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != image.width || cinfo.output_height != image.height ||
        cinfo.output_components != image.components) {
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + cinfo.output_scanline * pitch;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

class DecompressHandle {
  public:
    explicit DecompressHandle(jpeg_decompress_struct& cinfo) : cinfo_(cinfo) {}
    ~DecompressHandle() { jpeg_destroy_decompress(&cinfo_); }
    DecompressHandle(const DecompressHandle&) = delete;
    DecompressHandle& operator=(const DecompressHandle&) = delete;

  private:
    jpeg_decompress_struct& cinfo_;
};

struct JpegDestination {
    jpeg_destination_mgr pub;
    TStream* stream;
    std::exception_ptr error;
    JOCTET buffer[4096];
};

// Writes `count` bytes of the buffer; on a stream failure the error is parked and libjpeg
// is left through its error exit, outside any C++ scope.
void WriteBuffer(j_compress_ptr cinfo, size_t count) {
    auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
    bool failed = false;
    try {
        destination->stream->WriteBytes(destination->buffer, static_cast<int64_t>(count));
    } catch (...) {
        destination->error = std::current_exception();
        failed = true;
    }
    if (failed) ErrorExit(reinterpret_cast<j_common_ptr>(cinfo));
    destination->pub.next_output_byte = destination->buffer;
    destination->pub.free_in_buffer = sizeof destination->buffer;
}

void InitDestination(j_compress_ptr cinfo) {
    WriteBuffer(cinfo, 0);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    WriteBuffer(cinfo, sizeof reinterpret_cast<JpegDestination*>(cinfo->dest)->buffer);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* destination = reinterpret_cast<JpegDestination*>(cinfo->dest);
    WriteBuffer(cinfo, sizeof destination->buffer - destination->pub.free_in_buffer);
}

struct JpegOutput {
    const JSAMPLE* pixels;
    ptrdiff_t pitch;
    JDIMENSION width;
    JDIMENSION height;
    int quality;
};

bool WriteJpeg(jpeg_compress_struct& cinfo, JpegError& error, JpegDestination& destination,
               const JpegOutput& output) {
    if (setjmp(error.jump)) return false;
    jpeg_create_compress(&cinfo);
    cinfo.dest = &destination.pub;
    cinfo.image_width = output.width;
    cinfo.image_height = output.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, output.quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(output.pixels + cinfo.next_scanline * output.pitch);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

class CompressHandle {
  public:
    explicit CompressHandle(jpeg_compress_struct& cinfo) : cinfo_(cinfo) {}
    ~CompressHandle() { jpeg_destroy_compress(&cinfo_); }
    CompressHandle(const CompressHandle&) = delete;
    CompressHandle& operator=(const CompressHandle&) = delete;

  private:
    jpeg_compress_struct& cinfo_;
};

PixmapPtr DecodeJpeg(TStream& stream, WantedSize wanted) {
    jpeg_decompress_struct cinfo{};
    JpegError error{};
    InitErrors(error);
    cinfo.err = &error.pub;
    JpegSource source{};
    source.stream = &stream;
    source.pub.init_source = InitSource;
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
    DecompressHandle handle(cinfo);

    JpegImage image;
    const bool have_header = ReadJpegHeader(cinfo, error, source, image);
    if (source.error) std::rethrow_exception(source.error);
    if (!have_header) return nullptr;
    const int32_t format = image.components == 1   ? PIXEL_GREY8
                           : image.components == 3 ? PIXEL_RGB24
                                                   : 0;
    if (format == 0 || !ImageSideOk(image.width, image.height) ||
        !wanted.Accepts(image.width, image.height)) {
        return nullptr;
    }
    const int64_t remaining = RemainingBytes(stream);
    const int64_t pixel_bytes = int64_t{image.width} * image.height * image.components;
    if (remaining >= 0 &&
        pixel_bytes >
            (remaining + static_cast<int64_t>(source.pub.bytes_in_buffer) + 1) * kJpegRatio) {
        return nullptr;
    }

    PixmapPtr pixmap =
        NewPixmap(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height), format, 4);
    const bool have_rows = ReadJpegRows(cinfo, error, image, pixmap->pixels, pixmap->pitch);
    if (source.error) std::rethrow_exception(source.error);
    return have_rows ? pixmap : nullptr;
}

}  // namespace

PixmapPtr TPixmapLoaderJPG::LoadPixmap(TStream& stream) {
    return DecodeJpeg(stream, {});
}

PixmapPtr TPixmapLoaderJPG::LoadPixmapOfSize(TStream& stream, int32_t width, int32_t height) {
    return DecodeJpeg(stream, {width, height});
}

bool SaveJPGPixmap(const TPixmap& pixmap, const Url& url, int32_t quality) {
    StreamPtr stream = OpenFileWrite(url);
    if (!stream) return false;
    // A save that stops part-way (a failure, an exception) leaves the old file as it was.
    SaveGuard save(*stream);
    PixmapPtr converted;
    const TPixmap* rgb = &pixmap;
    if (pixmap.format != PIXEL_RGB24) {
        converted = pixmap.Convert(PIXEL_RGB24);
        rgb = converted.get();
    }

    jpeg_compress_struct cinfo{};
    JpegError error{};
    InitErrors(error);
    cinfo.err = &error.pub;
    JpegDestination destination{};
    destination.stream = stream.get();
    destination.pub.init_destination = InitDestination;
    destination.pub.empty_output_buffer = EmptyOutputBuffer;
    destination.pub.term_destination = TermDestination;
    CompressHandle handle(cinfo);
    const JpegOutput output{rgb->pixels, rgb->pitch, static_cast<JDIMENSION>(rgb->width),
                            static_cast<JDIMENSION>(rgb->height), quality};
    const bool written = WriteJpeg(cinfo, error, destination, output);
    if (destination.error) std::rethrow_exception(destination.error);
    // A full disk may refuse the last buffered bytes only when the file is closed.
    return written && save.Close();
}

std::shared_ptr<TPixmapLoader> MakeJPGLoader() {
    return std::make_shared<TPixmapLoaderJPG>();
}

}  // namespace vexel
