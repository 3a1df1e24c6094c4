// Drawing and collision costs. Needs an X display with GLX (scripts/bench starts one).
//
// Frame/Vexel draws a frame of the game's kind through the 2-D layer: a tiled sky, three
// layers cut from 1536×512 textures and 40 rotated, scaled sprites. Frame/BareGL makes the same
// GL calls from a plain immediate-mode loop. Both end with glFinish so that every call has been
// executed; under callgrind, compare the instructions of DrawFrameVexel and DrawFrameBareGL.

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "bench_support.h"
#include "graphics/collision.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"

namespace {

using namespace vexel;

struct Scene {
    ImagePtr sky, layers[3], sprites[3], dot, strip;
    bool ok = false;
};

PixmapPtr Filled(int32_t w, int32_t h, uint32_t argb) {
    auto p = NewPixmap(w, h, PIXEL_RGBA32, 4);
    p->ClearPixels(static_cast<int32_t>(argb));
    return p;
}

// A 64×64 disc: opaque inside radius 30, transparent outside.
PixmapPtr Disc() {
    auto p = NewPixmap(64, 64, PIXEL_RGBA32, 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            p->WritePixel(x, y, std::hypot(x - 31.5, y - 31.5) < 30 ? -1 : 0);
        }
    }
    return p;
}

Scene& TheScene() {
    static Scene scene = [] {
        Scene s;
        if (!OpenGraphics(1024, 512, 0, 0, 0)) return s;
        s.sky = LoadImageFrom(Filled(64, 64, 0xFF5090E0u), 3);
        for (auto& layer : s.layers)
            layer = LoadImageFrom(Filled(1536, 512, 0x80408040u), 3);
        for (auto& sprite : s.sprites)
            sprite = LoadImageFrom(Disc(), 3);
        for (auto& sprite : s.sprites)
            CentreImageHandle(*sprite);
        s.dot = LoadImageFrom(Filled(1, 1, 0xFFFFFFFFu), 0);
        // Two 1536×512 cells; the frame used is transparent above row 256, opaque below.
        auto picture = Filled(1536, 1024, 0xFFFFFFFFu);
        for (int y = 0; y < 256; ++y) {
            std::memset(picture->PixelPtr(0, y), 0, static_cast<size_t>(1536) * 4);
        }
        s.strip = LoadImageStrip(picture, 1536, 512, 0, 2, 3);
        CentreImageHandle(*s.strip);
        // Make every texture once, outside the measurements.
        DrawImageFrame(*s.sky, 0, 0, 0);
        for (auto& layer : s.layers)
            DrawImageFrame(*layer, 0, 0, 0);
        for (auto& sprite : s.sprites)
            DrawImageFrame(*sprite, 0, 0, 0);
        glFinish();
        s.ok = true;
        return s;
    }();
    return scene;
}

struct SpritePlace {
    float x, y, rotation, scale;
};

SpritePlace Place(int i, int frame) {
    const float t = static_cast<float>(frame);
    return {60.0f + static_cast<float>(i % 10) * 100, 80.0f + static_cast<float>(i / 10) * 110,
            t * 1.5f + static_cast<float>(i) * 9, 0.6f + 0.04f * static_cast<float>(i % 10)};
}

[[gnu::noinline]] void DrawFrameVexel(Scene& s, int frame) {
    ClearScreen();
    SetDrawBlend(BlendMask);
    SetDrawTransform(0, 1, 1);
    TileImageFrame(*s.sky, static_cast<float>(frame) * 0.3f, 0, 0);
    for (int i = 0; i < 3; ++i) {
        DrawImageSubRect(*s.layers[i], 0, 0, 1024, 512, static_cast<float>((frame * (i + 1)) % 512),
                         0, 1024, 512, 0, 0, 0);
    }
    for (int i = 0; i < 40; ++i) {
        const SpritePlace p = Place(i, frame);
        SetDrawTransform(p.rotation, p.scale, p.scale);
        DrawImageFrame(*s.sprites[i % 3], p.x, p.y, 0);
    }
    glFinish();
}

GLuint TextureOf(TImage& image) {
    return std::static_pointer_cast<TGLImageFrame>(image.Frame(0))->name;
}

void BareQuad(GLuint texture, float s0, float t0, float s1, float t1, const float (&xy)[8]) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(xy[0], xy[1]);
    glTexCoord2f(s1, t0);
    glVertex2f(xy[2], xy[3]);
    glTexCoord2f(s1, t1);
    glVertex2f(xy[4], xy[5]);
    glTexCoord2f(s0, t1);
    glVertex2f(xy[6], xy[7]);
    glEnd();
}

[[gnu::noinline]] void DrawFrameBareGL(Scene& s, int frame) {
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    glEnable(GL_TEXTURE_2D);
    const GLuint sky = TextureOf(*s.sky);
    const float px = static_cast<float>(frame) * 0.3f;
    const float fx = px - std::floor(px);
    const int start = -63 + ((static_cast<int>(std::floor(px)) + 63) % 64 + 64) % 64;
    for (int ty = -63 + 63 % 64; ty < 512; ty += 64) {
        for (int tx = start; tx < 1024; tx += 64) {
            const float x = static_cast<float>(tx) + fx, y = static_cast<float>(ty);
            BareQuad(sky, 0, 0, 1, 1, {x, y, x + 64, y, x + 64, y + 64, x, y + 64});
        }
    }
    for (int i = 0; i < 3; ++i) {
        const float sx = static_cast<float>((frame * (i + 1)) % 512);
        BareQuad(TextureOf(*s.layers[i]), sx / 2048, 0, (sx + 1024) / 2048, 1,
                 {0, 0, 1024, 0, 1024, 512, 0, 512});
    }
    for (int i = 0; i < 40; ++i) {
        const SpritePlace p = Place(i, frame);
        const double r = p.rotation * std::numbers::pi / 180;
        const float c = static_cast<float>(std::cos(r)), sn = static_cast<float>(std::sin(r));
        const float ix = c * p.scale, iy = -sn * p.scale, jx = sn * p.scale, jy = c * p.scale;
        float xy[8];
        const float local[4][2] = {{-32, -32}, {32, -32}, {32, 32}, {-32, 32}};
        for (int k = 0; k < 4; ++k) {
            xy[k * 2] = local[k][0] * ix + local[k][1] * iy + p.x;
            xy[k * 2 + 1] = local[k][0] * jx + local[k][1] * jy + p.y;
        }
        BareQuad(TextureOf(*s.sprites[i % 3]), 0, 0, 1, 1, xy);
    }
    glFinish();
}

void Frame_Vexel(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    int frame = 0;
    for (auto _ : state)
        DrawFrameVexel(s, frame++);
}

void Frame_BareGL(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    int frame = 0;
    for (auto _ : state)
        DrawFrameBareGL(s, frame++);
    SelectGraphics(TVex2DGraphics::Current());  // the caches no longer match the GL state
}

void DrawImageFrame_64(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    SetDrawTransform(30, 1, 1);
    int i = 0;
    for (auto _ : state) {
        DrawImageFrame(*s.sprites[0], static_cast<float>(i++ % 900), 200, 0);
        if (i % 4096 == 0) glFinish();
    }
    glFinish();
    SetDrawTransform(0, 1, 1);
}

void ImagesOverlap_StripAgainstDot(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    SetDrawTransform(0, 1, 1);
    int i = 0;
    for (auto _ : state) {
        // The shot lands in the transparent upper half: a miss, as most shots are.
        benchmark::DoNotOptimize(ImagesOverlap(*s.strip, 512, 256, 0, *s.dot,
                                               static_cast<float>(100 + i++ % 800), 100, 0));
    }
}

void ImagesOverlap_SpritesByHalf(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    SetDrawTransform(0, 1, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ImagesOverlap(*s.sprites[0], 100, 100, 0, *s.sprites[1], 132, 100, 0));
    }
}

// The reference: AND of the alpha of two 64×64 RGBA masks over a 32×64 overlap, stopping at
// the first common opaque pixel as the span test does (here there is none).
void PlainAlphaAnd_64(benchmark::State& state) {
    auto a = Disc();
    auto b = Filled(64, 64, 0x00FFFFFFu);
    for (auto _ : state) {
        bool hit = false;
        for (int y = 0; y < 64 && !hit; ++y) {
            const uint8_t* ra = a->PixelPtr(32, y);
            const uint8_t* rb = b->PixelPtr(0, y);
            for (int x = 0; x < 32; ++x)
                hit |= (ra[x * 4 + 3] & rb[x * 4 + 3] & 0x80) != 0;
        }
        benchmark::DoNotOptimize(hit);
    }
}

BENCHMARK(Frame_Vexel)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(Frame_BareGL)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(DrawImageFrame_64);
BENCHMARK(ImagesOverlap_StripAgainstDot)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImagesOverlap_SpritesByHalf)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainAlphaAnd_64)->Unit(benchmark::kMicrosecond);

const bool compare_frames = vexel::bench::CompareWith("Frame_Vexel/process_time/real_time",
                                                      "Frame_BareGL/process_time/real_time");
const bool compare_overlap =
    vexel::bench::CompareWith("ImagesOverlap_SpritesByHalf", "PlainAlphaAnd_64");

}  // namespace
