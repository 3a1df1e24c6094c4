// Pixel conversion, colour keying and scaling against SDL2 and pixman on the same buffers,
// with memcpy of the output bytes as the limit of a conversion.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "pixmap/pixmap.h"

namespace {

using vexel::PixmapPtr;

// Deterministic bytes that look like a picture: gradients with a little noise.
void FillPicture(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t bytes) {
    uint32_t state = 12345;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t i = 0; i < width * bytes; ++i) {
            state = state * 1664525u + 1013904223u;
            row[i] = static_cast<uint8_t>(
                ((i / bytes) * 255 / width + y * 255 / height + i % bytes * 60) + (state >> 29));
        }
    }
}

PixmapPtr Picture(int32_t width, int32_t height, int32_t format) {
    PixmapPtr pixmap = vexel::NewPixmap(width, height, format, 4);
    FillPicture(pixmap->pixels, width, height, pixmap->pitch, vexel::PixelFormatBytes[format]);
    return pixmap;
}

uint32_t SdlFormat(int32_t format) {
    switch (format) {
        case vexel::PIXEL_RGB24:
            return SDL_PIXELFORMAT_RGB24;
        case vexel::PIXEL_BGRA32:
            return SDL_PIXELFORMAT_BGRA32;
        default:
            return SDL_PIXELFORMAT_RGBA32;
    }
}

template <int32_t kFrom, int32_t kTo>
void BM_ConvertOurs(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    PixmapPtr source = Picture(width, height, kFrom);
    PixmapPtr target = vexel::NewPixmap(width, height, kTo, 4);
    for (auto _ : state) {
        for (int32_t y = 0; y < height; ++y) {
            vexel::ConvertPixelRow(source->PixelPtr(0, y), kFrom, target->PixelPtr(0, y), kTo,
                                   width);
        }
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

template <int32_t kFrom, int32_t kTo>
void BM_ConvertSDL(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    PixmapPtr source = Picture(width, height, kFrom);
    PixmapPtr target = vexel::NewPixmap(width, height, kTo, 4);
    // Same bytes out as ours before anything is timed.
    PixmapPtr ours = source->Convert(kTo);
    SDL_ConvertPixels(width, height, SdlFormat(kFrom), source->pixels, source->pitch,
                      SdlFormat(kTo), target->pixels, target->pitch);
    if (std::memcmp(ours->pixels, target->pixels, static_cast<size_t>(target->capacity)) != 0) {
        state.SkipWithError("SDL and ours disagree");
    }
    for (auto _ : state) {
        SDL_ConvertPixels(width, height, SdlFormat(kFrom), source->pixels, source->pitch,
                          SdlFormat(kTo), target->pixels, target->pitch);
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

template <int32_t kTo>
void BM_MemcpyOutput(benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    PixmapPtr source = Picture(width, height, kTo);
    PixmapPtr target = vexel::NewPixmap(width, height, kTo, 4);
    for (auto _ : state) {
        std::memcpy(target->pixels, source->pixels, static_cast<size_t>(source->capacity));
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

constexpr int32_t RGB24 = vexel::PIXEL_RGB24;
constexpr int32_t BGRA32 = vexel::PIXEL_BGRA32;
constexpr int32_t RGBA32 = vexel::PIXEL_RGBA32;

#define CONVERSION(name, from, to)                                                               \
    BENCHMARK(BM_ConvertOurs<from, to>)                                                          \
        ->Name("BM_" name "_Ours")                                                               \
        ->Args({1536, 512})                                                                      \
        ->Args({64, 64})                                                                         \
        ->MeasureProcessCPUTime();                                                               \
    BENCHMARK(BM_ConvertSDL<from, to>)                                                           \
        ->Name("BM_" name "_SDL")                                                                \
        ->Args({1536, 512})                                                                      \
        ->Args({64, 64})                                                                         \
        ->MeasureProcessCPUTime();                                                               \
    BENCHMARK(BM_MemcpyOutput<to>)                                                               \
        ->Name("BM_" name "_Memcpy")                                                             \
        ->Args({1536, 512})                                                                      \
        ->Args({64, 64})                                                                         \
        ->MeasureProcessCPUTime();                                                               \
    const bool compared_##from##to =                                                             \
        vexel::bench::CompareWith("BM_" name "_Ours/1536/512", "BM_" name "_SDL/1536/512") &&    \
        vexel::bench::CompareWith("BM_" name "_Ours/1536/512", "BM_" name "_Memcpy/1536/512") && \
        vexel::bench::CompareWith("BM_" name "_Ours/64/64", "BM_" name "_SDL/64/64") &&          \
        vexel::bench::CompareWith("BM_" name "_Ours/64/64", "BM_" name "_Memcpy/64/64");

CONVERSION("RGB24ToRGBA32", RGB24, RGBA32)
CONVERSION("BGRA32ToRGBA32", BGRA32, RGBA32)
CONVERSION("RGBA32ToRGB24", RGBA32, RGB24)

// A picture with about one pixel in eight of the key colour (magenta).
PixmapPtr KeyedPicture() {
    PixmapPtr picture = Picture(1536, 512, RGBA32);
    for (int32_t y = 0; y < 512; ++y) {
        for (int32_t x = (y * 5) % 8; x < 1536; x += 8) {
            uint8_t* p = picture->PixelPtr(x, y);
            p[0] = 255, p[1] = 0, p[2] = 255;
        }
    }
    return picture;
}

void BM_ColorKeyOurs(benchmark::State& state) {
    PixmapPtr picture = KeyedPicture();
    for (auto _ : state) {
        PixmapPtr keyed = vexel::ColorKeyPixmap(*picture, 255, 0, 255);
        benchmark::DoNotOptimize(keyed->pixels);
    }
    state.SetItemsProcessed(state.iterations() * 1536 * 512);
}

// SDL's nearest equivalent: set the key, then convert to RGBA so keyed pixels turn clear.
void BM_ColorKeySDL(benchmark::State& state) {
    PixmapPtr picture = KeyedPicture();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        picture->pixels, 1536, 512, 32, picture->pitch, SDL_PIXELFORMAT_RGBA32);
    SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
    for (auto _ : state) {
        SDL_SetColorKey(surface, SDL_TRUE, SDL_MapRGB(surface->format, 255, 0, 255));
        SDL_Surface* keyed = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGBA32, 0);
        benchmark::DoNotOptimize(keyed->pixels);
        SDL_FreeSurface(keyed);
    }
    SDL_FreeSurface(surface);
    state.SetItemsProcessed(state.iterations() * 1536 * 512);
}

BENCHMARK(BM_ColorKeyOurs)->MeasureProcessCPUTime();
BENCHMARK(BM_ColorKeySDL)->MeasureProcessCPUTime();
const bool compared_key = vexel::bench::CompareWith("BM_ColorKeyOurs", "BM_ColorKeySDL");

void BM_ScaleOurs(benchmark::State& state) {
    PixmapPtr picture = Picture(1536, 512, RGBA32);
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        PixmapPtr scaled = vexel::ScalePixmap(*picture, width, height);
        benchmark::DoNotOptimize(scaled->pixels);
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_ScaleSDL(benchmark::State& state) {
    PixmapPtr picture = Picture(1536, 512, RGBA32);
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        picture->pixels, 1536, 512, 32, picture->pitch, SDL_PIXELFORMAT_RGBA32);
    for (auto _ : state) {
        // A fresh target each time, as ScalePixmap makes one.
        SDL_Surface* target =
            SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_SoftStretchLinear(source, nullptr, target, nullptr);
        benchmark::DoNotOptimize(target->pixels);
        SDL_FreeSurface(target);
    }
    SDL_FreeSurface(source);
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_ScalePixman(benchmark::State& state) {
    PixmapPtr picture = Picture(1536, 512, RGBA32);
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    pixman_image_t* source = pixman_image_create_bits(
        PIXMAN_a8b8g8r8, 1536, 512, reinterpret_cast<uint32_t*>(picture->pixels), picture->pitch);
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(1536.0 / width),
                                pixman_double_to_fixed(512.0 / height));
    pixman_image_set_transform(source, &transform);
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        pixman_image_t* target =
            pixman_image_create_bits(PIXMAN_a8b8g8r8, width, height, nullptr, 0);
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, width,
                                 height);
        benchmark::DoNotOptimize(pixman_image_get_data(target));
        pixman_image_unref(target);
    }
    pixman_image_unref(source);
    state.SetItemsProcessed(state.iterations() * width * height);
}

BENCHMARK(BM_ScaleOurs)->Args({1024, 341})->Args({3072, 1024})->MeasureProcessCPUTime();
BENCHMARK(BM_ScaleSDL)->Args({1024, 341})->Args({3072, 1024})->MeasureProcessCPUTime();
BENCHMARK(BM_ScalePixman)->Args({1024, 341})->Args({3072, 1024})->MeasureProcessCPUTime();
const bool compared_scale =
    vexel::bench::CompareWith("BM_ScaleOurs/1024/341", "BM_ScaleSDL/1024/341") &&
    vexel::bench::CompareWith("BM_ScaleOurs/1024/341", "BM_ScalePixman/1024/341") &&
    vexel::bench::CompareWith("BM_ScaleOurs/3072/1024", "BM_ScaleSDL/3072/1024") &&
    vexel::bench::CompareWith("BM_ScaleOurs/3072/1024", "BM_ScalePixman/3072/1024");

}  // namespace
