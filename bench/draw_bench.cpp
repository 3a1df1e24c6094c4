// Drawing and collision costs. Needs an X display with GLX (scripts/bench uses $DISPLAY or
// starts an Xvfb).
//
// Frame/Vexel draws a frame of the game's play-screen kind through the 2-D layer, blending as
// the game does: a tiled opaque sky, three 1536×512 terrain frames whose upper part is clear
// sky, each followed by the targets of its layer (rotated, scaled sprites), and a crosshair.
// Frame/BareGL makes the same GL calls from a plain immediate-mode loop, with every vertex
// and texture coordinate computed by the same arithmetic. Before either is timed the two
// frames are read back and must agree pixel for pixel. Both end with glFinish so that every
// call has been executed. Under callgrind (scripts/bench) their instructions are counted too.
//
// Frame/Vexel/AtScale3 draws the same frame in a window at scale 3 and is compared with
// Frame/Vexel: the software renderer's cost of nine times the pixels.
//
// ImagesOverlap of two 64×64 keyed sprites overlapping by half is paired with a plain AND of
// the same masks' alpha over the same overlap: once for two discs that touch (a hit), once for
// two smaller discs that do not (a miss, which has to look at every row).

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "graphics/collision.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/gl/internal/gl_image_frame.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "screen_pixels.h"

namespace {

using namespace vexel;

constexpr int kWidth = 1024, kHeight = 512;
constexpr int kSprites = 40;
constexpr float kLayerScale[3] = {0.25f, 0.5f, 1.0f};

int32_t Argb(int a, int r, int g, int b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << 24 | r << 16 | g << 8 | b);
}

// A 64×64 opaque sky tile: a vertical gradient with a soft cloud.
PixmapPtr SkyTile() {
    auto p = NewPixmap(64, 64, PIXEL_RGB24, 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double dx = (x - 32) / 20.0, dy = (y - 30) / 8.0;
            const double cloud = std::max(0.0, 1.0 - dx * dx - dy * dy);
            p->WritePixel(x, y,
                          Argb(255, static_cast<int>(90 + 165 * cloud),
                               static_cast<int>(150 + 105 * cloud), 235));
        }
    }
    return p;
}

// Three 1536×512 cells of rolling hills, clear above each ridge line, one below the other.
PixmapPtr Terrain() {
    auto p = NewPixmap(1536, 1536, PIXEL_RGBA32, 4);
    const int base[3] = {240, 300, 380};
    const double amplitude[3] = {60, 40, 30}, wavelength[3] = {768, 512, 384};
    for (int cell = 0; cell < 3; ++cell) {
        for (int x = 0; x < 1536; ++x) {
            const double w = 2 * std::numbers::pi / wavelength[cell];
            const double ridge = base[cell] - amplitude[cell] * std::sin(x * w) -
                                 amplitude[cell] * 0.4 * std::sin(x * w * 3);
            for (int y = 0; y < 512; ++y) {
                const int shade = std::min(40, std::max(0, (y - static_cast<int>(ridge)) / 6));
                p->WritePixel(
                    x, cell * 512 + y,
                    y < ridge ? 0
                              : Argb(255, 120 - shade, 200 - 40 * cell - shade, 60 + 20 * cell));
            }
        }
    }
    return p;
}

// A 64×64 disc of the given radius on black, which the image's key colour makes clear.
PixmapPtr Disc(double radius, int r, int g, int b) {
    auto p = NewPixmap(64, 64, PIXEL_RGB24, 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5);
            int32_t c = Argb(255, 0, 0, 0);
            if (d < radius)
                c = (static_cast<int>(d) / 6) % 2 ? Argb(255, r / 2, g / 2, b) : Argb(255, r, g, b);
            p->WritePixel(x, y, c);
        }
    }
    return p;
}

struct Scene {
    ImagePtr sky, terrain, sprites[3], small_disc, dot, strip;
    bool ok = false;
};

ImagePtr Centred(ImagePtr image) {
    CentreImageHandle(*image);
    return image;
}

Scene& TheScene() {
    static Scene scene = [] {
        Scene s;
        if (!OpenGraphics(kWidth, kHeight, 0, 0, 0)) return s;
        // Masked and filtered, as the game loads its pictures.
        s.sky = Centred(LoadImageFrom(SkyTile(), 3));
        s.terrain = Centred(LoadImageStrip(Terrain(), 1536, 512, 0, 3, 3));
        s.sprites[0] = Centred(LoadImageFrom(Disc(30, 230, 80, 60), 3));
        s.sprites[1] = Centred(LoadImageFrom(Disc(30, 250, 200, 40), 3));
        s.sprites[2] = Centred(LoadImageFrom(Disc(30, 150, 90, 220), 3));
        s.small_disc = Centred(LoadImageFrom(Disc(15, 200, 200, 200), 3));
        auto white = NewPixmap(1, 1, PIXEL_RGBA32, 4);
        white->ClearPixels(-1);
        s.dot = LoadImageFrom(white, 0);
        // Two 1536×512 cells; the one used is transparent above row 256, opaque below.
        auto picture = NewPixmap(1536, 1024, PIXEL_RGBA32, 4);
        picture->ClearPixels(-1);
        for (int y = 0; y < 256; ++y)
            std::memset(picture->PixelPtr(0, y), 0, static_cast<size_t>(1536) * 4);
        s.strip = Centred(LoadImageStrip(picture, 1536, 512, 0, 2, 3));
        // Make every texture once, outside the measurements.
        DrawImageFrame(*s.sky, 0, 0, 0);
        for (int i = 0; i < 3; ++i)
            DrawImageFrame(*s.terrain, 0, 0, i);
        for (auto& sprite : s.sprites)
            DrawImageFrame(*sprite, 0, 0, 0);
        vexel::bench::FinishDrawing();
        s.ok = true;
        return s;
    }();
    return scene;
}

struct SpritePlace {
    int layer;
    float x, y, rotation, scale;
};

SpritePlace Place(int i, int frame) {
    const float t = static_cast<float>(frame);
    return {i % 3, 60.0f + static_cast<float>(i % 10) * 100,
            80.0f + static_cast<float>(i / 10) * 110, t * 1.5f + static_cast<float>(i) * 9,
            0.6f + 0.04f * static_cast<float>(i % 10)};
}

float ScrollOffset(int frame) {
    return static_cast<float>(frame * 5 % 513 - 256);
}

[[gnu::noinline]] void DrawFrameVexel(Scene& s, int frame) {
    ClearScreen();
    SetDrawBlend(BlendAlpha);
    SetDrawColor(255, 255, 255);
    SetDrawAlpha(1);
    SetDrawTransform(0, 1, 1);
    TileImageFrame(*s.sky, 0, kHeight * 0.5f, 0);
    for (int layer = 0; layer < 3; ++layer) {
        DrawImageFrame(*s.terrain, kWidth * 0.5f + ScrollOffset(frame) * kLayerScale[layer],
                       kHeight * 0.5f, layer);
        for (int i = 0; i < kSprites; ++i) {
            const SpritePlace p = Place(i, frame);
            if (p.layer != layer) continue;
            SetDrawTransform(p.rotation, p.scale, p.scale);
            DrawImageFrame(*s.sprites[i % 3], p.x, p.y, 0);
        }
        SetDrawTransform(0, 1, 1);
    }
    DrawImageFrame(*s.sprites[0], 500, 300, 0);  // the crosshair
    vexel::bench::FinishDrawing();
}

const TGLImageFrame& FrameOf(TImage& image, int frame) {
    return *std::static_pointer_cast<TGLImageFrame>(image.Frame(frame));
}

// The quad of image frame drawn at (tx, ty) through the matrix (ix, iy, jx, jy), with the
// arithmetic of the 2-D layer: corners around the image's handle, texture coordinates scaled
// by the texture size.
void BareImageQuad(TImage& image, int frame, float tx, float ty, float ix, float iy, float jx,
                   float jy) {
    const TGLImageFrame& f = FrameOf(image, frame);
    const auto w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    const float x0 = -image.handle_x, y0 = -image.handle_y, x1 = x0 + w, y1 = y0 + h;
    const float s1 = w * f.uscale, t1 = h * f.vscale;
    glBindTexture(GL_TEXTURE_2D, f.name);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0 * ix + y0 * iy + tx, x0 * jx + y0 * jy + ty);
    glTexCoord2f(s1, 0);
    glVertex2f(x1 * ix + y0 * iy + tx, x1 * jx + y0 * jy + ty);
    glTexCoord2f(s1, t1);
    glVertex2f(x1 * ix + y1 * iy + tx, x1 * jx + y1 * jy + ty);
    glTexCoord2f(0, t1);
    glVertex2f(x0 * ix + y1 * iy + tx, x0 * jx + y1 * jy + ty);
    glEnd();
}

[[gnu::noinline]] void DrawFrameBareGL(Scene& s, int frame) {
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    // The sky: whole tiles on the grid through the tile's top-left corner.
    const float px = -s.sky->handle_x, py = kHeight * 0.5f - s.sky->handle_y;
    const float fx = px - std::floor(px), fy = py - std::floor(py);
    const int start_x = -63 + ((static_cast<int>(std::floor(px)) + 63) % 64 + 64) % 64;
    const int start_y = -63 + ((static_cast<int>(std::floor(py)) + 63) % 64 + 64) % 64;
    const TGLImageFrame& sky = FrameOf(*s.sky, 0);
    const float s1 = 64 * sky.uscale, t1 = 64 * sky.vscale;
    glBindTexture(GL_TEXTURE_2D, sky.name);
    for (int ty = start_y; ty < kHeight; ty += 64) {
        for (int tx = start_x; tx < kWidth; tx += 64) {
            const float x = static_cast<float>(tx) + fx, y = static_cast<float>(ty) + fy;
            glBegin(GL_QUADS);
            glTexCoord2f(0, 0);
            glVertex2f(x, y);
            glTexCoord2f(s1, 0);
            glVertex2f(64 + x, y);
            glTexCoord2f(s1, t1);
            glVertex2f(64 + x, 64 + y);
            glTexCoord2f(0, t1);
            glVertex2f(x, 64 + y);
            glEnd();
        }
    }
    for (int layer = 0; layer < 3; ++layer) {
        BareImageQuad(*s.terrain, layer, kWidth * 0.5f + ScrollOffset(frame) * kLayerScale[layer],
                      kHeight * 0.5f, 1, 0, 0, 1);
        for (int i = 0; i < kSprites; ++i) {
            const SpritePlace p = Place(i, frame);
            if (p.layer != layer) continue;
            const double r = static_cast<double>(p.rotation) * std::numbers::pi / 180.0;
            const auto c = static_cast<float>(std::cos(r)), sn = static_cast<float>(std::sin(r));
            BareImageQuad(*s.sprites[i % 3], 0, p.x, p.y, c * p.scale, -sn * p.scale, sn * p.scale,
                          c * p.scale);
        }
    }
    BareImageQuad(*s.sprites[0], 0, 500, 300, 1, 0, 0, 1);
    vexel::bench::FinishDrawing();
}

// The floor of any frame: one textured write per window pixel, the sky tile's texture
// stretched over the window with blending off.
[[gnu::noinline]] void DrawFrameFloor(Scene& s) {
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glColor4ub(255, 255, 255, 255);
    glBindTexture(GL_TEXTURE_2D, FrameOf(*s.sky, 0).name);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(kWidth, 0);
    glTexCoord2f(1, 1);
    glVertex2f(kWidth, kHeight);
    glTexCoord2f(0, 1);
    glVertex2f(0, kHeight);
    glEnd();
    glFinish();
}

// The window's surface in pixels.
std::pair<int, int> SurfaceSize() {
    int32_t width = 0, height = 0;
    CurrentGraphics()->GetSurface(width, height);
    return {width, height};
}

// Draws a few frames both ways in the window as it is and counts the pixels that differ; -1
// without a display.
long FramePixelsThatDiffer() {
    Scene& s = TheScene();
    if (!s.ok) return -1;
    const auto [width, height] = SurfaceSize();
    long differ = 0;
    for (const int frame : {0, 17, 51, 90}) {
        DrawFrameVexel(s, frame);
        const auto ours = vexel::bench::ReadBackScreen(width, height);
        DrawFrameBareGL(s, frame);
        SelectGraphics(TVex2DGraphics::Current());  // the caches no longer match the GL state
        const auto bare = vexel::bench::ReadBackScreen(width, height);
        for (size_t i = 0; i < ours.size(); i += 4)
            differ += std::memcmp(&ours[i], &bare[i], 4) != 0;
    }
    return differ;
}

// Fragments the frame has shaded, per pixel of the window's surface (1 is the floor of one
// textured write per pixel).
double FragmentsPerPixel(bool vexel) {
    Scene& s = TheScene();
    const long fragments =
        vexel::CountGLFragments([&] { vexel ? DrawFrameVexel(s, 17) : DrawFrameBareGL(s, 17); });
    if (!vexel) SelectGraphics(TVex2DGraphics::Current());
    const auto [width, height] = SurfaceSize();
    return static_cast<double>(fragments) / (static_cast<double>(width) * height);
}

void Frame_Vexel(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    int frame = 0;
    for (auto _ : state)
        DrawFrameVexel(s, frame++);
}

// The window reopened at `scale`, with every texture made again outside the measurements.
void ReopenAtScale(Scene& s, int32_t scale) {
    if (CurrentGraphicsView().scale == static_cast<float>(scale)) return;
    SetGraphicsScale(scale);
    s.ok = OpenGraphics(kWidth, kHeight, 0, 0, 0) != nullptr;
    if (s.ok) DrawFrameVexel(s, 0);
}

// The same frame in a window at scale 3 (3072×1536, nine times the pixels), against
// Frame/Vexel at scale 1. Its frames must agree with the bare ones at scale 3 too.
void Frame_Vexel_AtScale3(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    ReopenAtScale(s, 3);
    if (!s.ok) return state.SkipWithError("no window at scale 3");
    static const long differ = FramePixelsThatDiffer();
    if (differ != 0) {
        std::fprintf(stderr, "Frame/Vexel and Frame/BareGL differ in %ld pixels at scale 3\n",
                     differ);
        ReopenAtScale(s, 1);
        return state.SkipWithError("the frames differ at scale 3");
    }
    int frame = 0;
    for (auto _ : state)
        DrawFrameVexel(s, frame++);
    ReopenAtScale(s, 1);
}

void Frame_BareGL(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    static const long differ = FramePixelsThatDiffer();
    if (differ != 0) {
        std::fprintf(stderr, "Frame/Vexel and Frame/BareGL differ in %ld pixels\n", differ);
        return state.SkipWithError("the frames differ");
    }
    int frame = 0;
    for (auto _ : state)
        DrawFrameBareGL(s, frame++);
    SelectGraphics(TVex2DGraphics::Current());
}

void Frame_Floor(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state)
        DrawFrameFloor(s);
    SelectGraphics(TVex2DGraphics::Current());
}

// Fragments per window pixel of one frame each way, counted by an occlusion query, at scale
// 1 and at scale 3.
void Frame_Fragments(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    double vexel = 0, bare = 0, vexel3 = 0, bare3 = 0;
    for (auto _ : state) {
        vexel = FragmentsPerPixel(true);
        bare = FragmentsPerPixel(false);
        ReopenAtScale(s, 3);
        if (!s.ok) return state.SkipWithError("no window at scale 3");
        vexel3 = FragmentsPerPixel(true);
        bare3 = FragmentsPerPixel(false);
        ReopenAtScale(s, 1);
    }
    state.counters["Vexel_per_pixel"] = vexel;
    state.counters["BareGL_per_pixel"] = bare;
    state.counters["Vexel_per_pixel_3x"] = vexel3;
    state.counters["BareGL_per_pixel_3x"] = bare3;
}

void DrawImageFrame_64(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    SetDrawTransform(30, 1, 1);
    int i = 0;
    for (auto _ : state) {
        DrawImageFrame(*s.sprites[0], static_cast<float>(i++ % 900), 200, 0);
        if (i % 4096 == 0) vexel::bench::FinishDrawing();
    }
    vexel::bench::FinishDrawing();
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

// The pair of sprites of each case: centred at (100, 100) and (132, 100), so that the right
// half of the first lies on the left half of the second.
TImage& OverlapSprite(bool hit, int which) {
    Scene& s = TheScene();
    return hit ? *s.sprites[which] : *s.small_disc;
}

int32_t OursOverlap(bool hit) {
    return ImagesOverlap(OverlapSprite(hit, 0), 100, 100, 0, OverlapSprite(hit, 1), 132, 100, 0);
}

// The plain test: AND the alpha of the first mask's right half with the second's left half,
// row by row, stopping after the first row with a common opaque pixel.
int32_t PlainOverlap(const TPixmap& a, const TPixmap& b) {
    bool hit = false;
    for (int y = 0; y < 64 && !hit; ++y) {
        const uint8_t* ra = a.PixelPtr(32, y);
        const uint8_t* rb = b.PixelPtr(0, y);
        for (int x = 0; x < 32; ++x)
            hit |= (ra[x * 4 + 3] & rb[x * 4 + 3] & 0x80) != 0;
    }
    return hit;
}

void ImagesOverlap_Pair(benchmark::State& state, bool hit) {
    if (!TheScene().ok) return state.SkipWithError("no display");
    SetDrawTransform(0, 1, 1);
    if (OursOverlap(hit) != hit) return state.SkipWithError("unexpected verdict");
    for (auto _ : state)
        benchmark::DoNotOptimize(OursOverlap(hit));
}

void PlainAlphaAnd_Pair(benchmark::State& state, bool hit) {
    if (!TheScene().ok) return state.SkipWithError("no display");
    const PixmapPtr a = OverlapSprite(hit, 0).Lock(0, 1, 0);
    const PixmapPtr b = OverlapSprite(hit, 1).Lock(0, 1, 0);
    if (PlainOverlap(*a, *b) != hit) return state.SkipWithError("unexpected verdict");
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainOverlap(*a, *b));
}

BENCHMARK(Frame_Vexel)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Frame_BareGL)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Frame_Floor)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Frame_Vexel_AtScale3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Frame_Fragments)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawImageFrame_64)->MeasureProcessCPUTime();
BENCHMARK(ImagesOverlap_StripAgainstDot)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(ImagesOverlap_Pair, Hit, true)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(PlainAlphaAnd_Pair, Hit, true)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(ImagesOverlap_Pair, Miss, false)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(PlainAlphaAnd_Pair, Miss, false)->MeasureProcessCPUTime();

const bool compared =
    vexel::bench::CompareWith("Frame_Vexel", "Frame_BareGL") &&
    vexel::bench::CompareWith("Frame_Vexel", "Frame_Floor") &&
    vexel::bench::CompareWith("Frame_Vexel_AtScale3", "Frame_Vexel") &&
    vexel::bench::CompareWith("ImagesOverlap_Pair/Hit", "PlainAlphaAnd_Pair/Hit") &&
    vexel::bench::CompareWith("ImagesOverlap_Pair/Miss", "PlainAlphaAnd_Pair/Miss");

// Instruction counts: ten frames each way (after checking that they draw the same pixels),
// a thousand collision tests each way.
bool FramesAgree() {
    const long differ = FramePixelsThatDiffer();
    if (differ != 0) std::fprintf(stderr, "the frames differ in %ld pixels\n", differ);
    return differ == 0;
}

bool DrawFrames(bool vexel, int32_t count) {
    Scene& s = TheScene();
    for (int frame = 0; frame < count; ++frame)
        vexel ? DrawFrameVexel(s, frame) : DrawFrameBareGL(s, frame);
    return true;
}

bool Overlaps(bool ours, bool hit, int32_t count) {
    SetDrawTransform(0, 1, 1);
    const PixmapPtr a = OverlapSprite(hit, 0).Lock(0, 1, 0);
    const PixmapPtr b = OverlapSprite(hit, 1).Lock(0, 1, 0);
    bool right = true;
    for (int32_t i = 0; i < count; ++i)
        right &= (ours ? OursOverlap(hit) : PlainOverlap(*a, *b)) == hit;
    return right;
}

const bool counted =
    vexel::bench::CountInstructions("Frame_Vexel", 10, FramesAgree,
                                    [](int32_t n) { return DrawFrames(true, n); }) &&
    vexel::bench::CountInstructions(
        "Frame_BareGL", 10, [] { return TheScene().ok; },
        [](int32_t n) {
            const bool ok = DrawFrames(false, n);
            SelectGraphics(TVex2DGraphics::Current());
            return ok;
        }) &&
    vexel::bench::CountInstructions(
        "Frame_Floor", 10, [] { return TheScene().ok; },
        [](int32_t n) {
            for (int32_t i = 0; i < n; ++i)
                DrawFrameFloor(TheScene());
            SelectGraphics(TVex2DGraphics::Current());
            return true;
        }) &&
    vexel::bench::CountInstructions(
        "ImagesOverlap/Hit", 1000, [] { return TheScene().ok; },
        [](int32_t n) { return Overlaps(true, true, n); }) &&
    vexel::bench::CountInstructions(
        "PlainAlphaAnd/Hit", 1000, [] { return TheScene().ok; },
        [](int32_t n) { return Overlaps(false, true, n); }) &&
    vexel::bench::CountInstructions(
        "ImagesOverlap/Miss", 1000, [] { return TheScene().ok; },
        [](int32_t n) { return Overlaps(true, false, n); }) &&
    vexel::bench::CountInstructions(
        "PlainAlphaAnd/Miss", 1000, [] { return TheScene().ok; },
        [](int32_t n) { return Overlaps(false, false, n); }) &&
    vexel::bench::CompareInstructions("Frame_Vexel", "Frame_BareGL") &&
    vexel::bench::CompareInstructions("Frame_Vexel", "Frame_Floor") &&
    vexel::bench::CompareInstructions("ImagesOverlap/Hit", "PlainAlphaAnd/Hit") &&
    vexel::bench::CompareInstructions("ImagesOverlap/Miss", "PlainAlphaAnd/Miss");

}  // namespace
