// Decoding from memory: PNG against bare libpng (same transforms, same pixels) and
// stb_image, on made pictures and on the game's largest one; JPEG against bare
// libjpeg-turbo; BMP and TGA against SDL's loaders.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <benchmark/benchmark.h>
#include <png.h>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "pixmap/jpeg_loader.h"
#include "pixmap/pixmap_loader.h"
#include "pixmap/png_loader.h"
#include "stream/memory_stream.h"
#include "stream/whole_file.h"

namespace {

using vexel::PixmapPtr;

// A picture with smooth areas, edges and some noise, so that it compresses like a sprite
// sheet rather than like a flat colour or like noise.
PixmapPtr Picture(int32_t width, int32_t height, int32_t format) {
    PixmapPtr pixmap = vexel::NewPixmap(width, height, format, 4);
    const int32_t bytes = vexel::PixelFormatBytes[format];
    uint32_t state = 99;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = pixmap->PixelPtr(0, y);
        for (int32_t x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const bool inside = ((x / 48) + (y / 48)) % 3 != 0;
            for (int32_t c = 0; c < bytes; ++c) {
                const int value = inside ? (x * (c + 1) + y * (3 - c)) / 8 + (state >> 30) : c * 70;
                row[x * bytes + c] =
                    static_cast<uint8_t>(c == 3 ? (inside ? 255 : x % 256) : value);
            }
        }
    }
    return pixmap;
}

std::vector<uint8_t> Encoded(const char* name, const std::function<bool(const vexel::Url&)>& save) {
    const auto path = std::filesystem::temp_directory_path() / name;
    if (!save(vexel::FromUtf8(path.string()))) std::abort();
    std::vector<uint8_t> bytes = vexel::LoadBytesFrom(vexel::FromUtf8(path.string()));
    std::filesystem::remove(path);
    return bytes;
}

const std::vector<uint8_t>& PngRGBA() {
    static const auto bytes = Encoded("vexel-bench-rgba.png", [](const vexel::Url& url) {
        return vexel::SavePNGPixmap(*Picture(4608, 512, vexel::PIXEL_RGBA32), url, 6);
    });
    return bytes;
}

// A large square picture, whose pixmap alone is 16 MiB.
const std::vector<uint8_t>& PngRGBALarge() {
    static const auto bytes = Encoded("vexel-bench-rgba-large.png", [](const vexel::Url& url) {
        return vexel::SavePNGPixmap(*Picture(2048, 2048, vexel::PIXEL_RGBA32), url, 6);
    });
    return bytes;
}

const std::vector<uint8_t>& PngRGB() {
    static const auto bytes = Encoded("vexel-bench-rgb.png", [](const vexel::Url& url) {
        return vexel::SavePNGPixmap(*Picture(1536, 1536, vexel::PIXEL_RGB24), url, 6);
    });
    return bytes;
}

// The game's largest picture, the terrain drawn for three times the ordinary scale, as the
// asset build renders it.
const std::vector<uint8_t>& PngTerrain() {
    static const auto bytes =
        vexel::LoadBytesFrom(vexel::FromUtf8(MORVELLE_DATA_DIR "/gfx/Terrain@3x.png"));
    return bytes;
}

const std::vector<uint8_t>& Jpeg() {
    static const auto bytes = Encoded("vexel-bench.jpg", [](const vexel::Url& url) {
        return vexel::SaveJPGPixmap(*Picture(1536, 1536, vexel::PIXEL_RGB24), url, 90);
    });
    return bytes;
}

const std::vector<uint8_t>& Bmp() {
    static const auto bytes = [] {
        PixmapPtr picture = Picture(1536, 1536, vexel::PIXEL_BGR24);
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            picture->pixels, 1536, 1536, 24, picture->pitch, SDL_PIXELFORMAT_BGR24);
        std::vector<uint8_t> out(64 + static_cast<size_t>(picture->capacity));
        SDL_RWops* rw = SDL_RWFromMem(out.data(), static_cast<int>(out.size()));
        SDL_SaveBMP_RW(surface, rw, 0);
        out.resize(static_cast<size_t>(SDL_RWtell(rw)));
        SDL_RWclose(rw);
        SDL_FreeSurface(surface);
        return out;
    }();
    return bytes;
}

// A raw 32-bit Targa file, rows bottom-up.
const std::vector<uint8_t>& Tga() {
    static const auto bytes = [] {
        PixmapPtr picture = Picture(1536, 1536, vexel::PIXEL_BGRA32);
        std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 6, 32, 8};
        for (int32_t y = 1535; y >= 0; --y) {
            out.insert(out.end(), picture->PixelPtr(0, y), picture->PixelPtr(0, y) + 1536 * 4);
        }
        return out;
    }();
    return bytes;
}

PixmapPtr LoadOurs(const std::vector<uint8_t>& bytes) {
    return vexel::LoadPixmapFrom(vexel::TMemoryStream::CreateBorrowed(bytes, nullptr));
}

void BM_LoadOurs(benchmark::State& state, const std::vector<uint8_t>& (*file)()) {
    const auto& bytes = file();
    for (auto _ : state) {
        PixmapPtr pixmap = LoadOurs(bytes);
        if (!pixmap) state.SkipWithError("no pixmap");
        benchmark::DoNotOptimize(pixmap);
    }
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t at;
};

void ReadFromMemory(png_structp png, png_bytep data, size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->bytes->size() - reader->at) png_error(png, "short");
    std::memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
}

// libpng's one-call reading with the transforms the loader asks for; the rows are left in
// libpng's own buffers.
template <typename Use>
void BarePng(const std::vector<uint8_t>& bytes, Use use) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&bytes, 0};
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &reader, ReadFromMemory);
        png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_EXPAND, nullptr);
        use(png, info);
    }
    png_destroy_read_struct(&png, &info, nullptr);
}

void BM_LoadBarePng(benchmark::State& state, const std::vector<uint8_t>& (*file)()) {
    const auto& bytes = file();
    // The pixels must be the ones we decode.
    PixmapPtr ours = LoadOurs(bytes);
    BarePng(bytes, [&](png_structp png, png_infop info) {
        png_bytepp rows = png_get_rows(png, info);
        const size_t row_bytes = png_get_rowbytes(png, info);
        for (int32_t y = 0; y < ours->height; ++y) {
            if (std::memcmp(rows[y], ours->PixelPtr(0, y), row_bytes) != 0) {
                state.SkipWithError("pixels differ");
                return;
            }
        }
    });
    for (auto _ : state) {
        BarePng(bytes, [](png_structp, png_infop info) { benchmark::DoNotOptimize(info); });
    }
}

void BM_LoadStbPng(benchmark::State& state, const std::vector<uint8_t>& (*file)()) {
    const auto& bytes = file();
    for (auto _ : state) {
        int w, h, n;
        stbi_uc* pixels =
            stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 0);
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

BENCHMARK_CAPTURE(BM_LoadOurs, PngRGBA4608x512, PngRGBA)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadBarePng, PngRGBA4608x512, PngRGBA)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadStbPng, PngRGBA4608x512, PngRGBA)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadOurs, PngRGBA2048x2048, PngRGBALarge)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadBarePng, PngRGBA2048x2048, PngRGBALarge)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadStbPng, PngRGBA2048x2048, PngRGBALarge)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadOurs, PngRGB1536x1536, PngRGB)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadBarePng, PngRGB1536x1536, PngRGB)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadStbPng, PngRGB1536x1536, PngRGB)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadOurs, PngTerrain3x, PngTerrain)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadBarePng, PngTerrain3x, PngTerrain)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadStbPng, PngTerrain3x, PngTerrain)->MeasureProcessCPUTime();

void BM_LoadBareJpeg(benchmark::State& state) {
    const auto& bytes = Jpeg();
    std::vector<uint8_t> out(1536 * 1536 * 3);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out.data() + cinfo.output_scanline * cinfo.output_width * 3;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK_CAPTURE(BM_LoadOurs, Jpeg1536x1536, Jpeg)->MeasureProcessCPUTime();
BENCHMARK(BM_LoadBareJpeg)->MeasureProcessCPUTime();

void BM_LoadSdlBmp(benchmark::State& state) {
    const auto& bytes = Bmp();
    for (auto _ : state) {
        SDL_Surface* surface =
            SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
        if (!surface) state.SkipWithError(SDL_GetError());
        benchmark::DoNotOptimize(surface);
        SDL_FreeSurface(surface);
    }
}

void BM_LoadSdlTga(benchmark::State& state) {
    const auto& bytes = Tga();
    for (auto _ : state) {
        SDL_Surface* surface =
            IMG_LoadTGA_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())));
        if (!surface) state.SkipWithError(SDL_GetError());
        benchmark::DoNotOptimize(surface);
        SDL_FreeSurface(surface);
    }
}

BENCHMARK_CAPTURE(BM_LoadOurs, Bmp1536x1536, Bmp)->MeasureProcessCPUTime();
BENCHMARK(BM_LoadSdlBmp)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_LoadOurs, Tga1536x1536, Tga)->MeasureProcessCPUTime();
BENCHMARK(BM_LoadSdlTga)->MeasureProcessCPUTime();

const bool compared =
    vexel::bench::CompareWith("BM_LoadOurs/PngRGBA4608x512", "BM_LoadBarePng/PngRGBA4608x512") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngRGBA4608x512", "BM_LoadStbPng/PngRGBA4608x512") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngRGBA2048x2048", "BM_LoadBarePng/PngRGBA2048x2048") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngRGBA2048x2048", "BM_LoadStbPng/PngRGBA2048x2048") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngRGB1536x1536", "BM_LoadBarePng/PngRGB1536x1536") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngRGB1536x1536", "BM_LoadStbPng/PngRGB1536x1536") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngTerrain3x", "BM_LoadBarePng/PngTerrain3x") &&
    vexel::bench::CompareWith("BM_LoadOurs/PngTerrain3x", "BM_LoadStbPng/PngTerrain3x") &&
    vexel::bench::CompareWith("BM_LoadOurs/Jpeg1536x1536", "BM_LoadBareJpeg") &&
    vexel::bench::CompareWith("BM_LoadOurs/Bmp1536x1536", "BM_LoadSdlBmp") &&
    vexel::bench::CompareWith("BM_LoadOurs/Tga1536x1536", "BM_LoadSdlTga");

}  // namespace
