// The game's own costs. Needs an X display with GLX (scripts/bench uses $DISPLAY or starts an
// Xvfb).
//
// PlayFrame/Game runs the play screen's frame handler over a game in progress, drawn with the
// game's own pictures from the Data folder beside the built game: the 39 targets of a new game
// and 5 chickens, the clock, the score, the recipe panel, the magazine and the
// crosshair, with the pointer sweeping across the screen so that the landscape scrolls.
// PlayFrame/BareGL replays such frames from a plain list recorded at the 2-D driver: every
// image frame and rectangle as one whole quad with its vertices and texture coordinates
// already computed, the colour and blend changes, nothing else: what the frame costs a plain
// immediate-mode loop. (The driver itself cuts frames to their content and draws opaque
// parts unblended, so the game makes fewer GL calls than the list holds.) Before either is
// timed, recorded frames and their replays are read back and must agree pixel for pixel.
// Both end with glFinish.
//
// PlayFrame/Game/AtScale3 is the same frame in a window at scale 3 (3072×1536), with the
// pictures and font the game loads there (its @3x pictures, glyphs rasterised at three times
// the size), compared with PlayFrame/Game; its frames are checked against their replay too.
// PlayFrame/Fragments counts the fragments shaded per pixel of the window at both scales.
//
// PlayFrame/GameAndFlip adds the buffer swap, which is what a frame of the running game
// costs; its rate bounds the frames per second the game can sustain (it asks for 62.5).
//
// Allocations/PlayFrame counts the calls of the global operator new during play frames.
//
// Fire/* shoots with the cherry gun's base shot through all three layers: one at a point on
// the near terrain (one terrain test, which hits), one in the open sky (both terrain tests,
// which miss, and every target of every layer looked at).

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "allocation_counter.h"
#include "bench_support.h"
#include "game/game_state.h"
#include "game/gun.h"
#include "game/play_screen.h"
#include "game/recipe.h"
#include "game/resources.h"
#include "game/targets.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/gl/internal/gl_image_frame.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/image_font.h"
#include "graphics/internal/detail_decoding.h"
#include "graphics/vex2d.h"
#include "screen_pixels.h"
#include "system/random.h"

namespace {

using namespace vexel;
using namespace morvelle;

constexpr int kWidth = 1024, kHeight = 512;

// One GL call group the 2-D driver made, as the bare replay makes it again.
struct Op {
    enum Kind { Blend, Color, Cls, Rect, Quad } kind;
    int32_t blend = 0;
    GLubyte color[4] = {};
    GLuint texture = 0;
    float vertex[8] = {};
    float texcoord[4] = {};  // s0, t0, s1, t1
};

using Ops = std::vector<Op>;

// The GL driver with every call of a frame written down as it goes: image frames drawn
// through it are wrapped so that their quads are recorded with the matrix then in force.
class TracingDriver : public TVex2DDriver {
  public:
    explicit TracingDriver(std::shared_ptr<TGLVex2DDriver> gl) : gl_(std::move(gl)) {}

    class Frame : public TImageFrame {
      public:
        Frame(TracingDriver& driver, std::shared_ptr<TGLImageFrame> inner)
            : driver_(driver), inner_(std::move(inner)) {}
        void Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx, float sy,
                  float sw, float sh) override {
            inner_->Draw(x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
            if (!driver_.ops) return;
            Op op{Op::Quad};
            op.texture = inner_->name;
            const float texels = inner_->texel_scale;
            op.texcoord[0] = sx * texels * inner_->uscale;
            op.texcoord[1] = sy * texels * inner_->vscale;
            op.texcoord[2] = (sx + sw) * texels * inner_->uscale;
            op.texcoord[3] = (sy + sh) * texels * inner_->vscale;
            driver_.Corners(op, x0, y0, x1, y1, tx, ty);
            driver_.ops->push_back(op);
        }

      private:
        TracingDriver& driver_;
        std::shared_ptr<TGLImageFrame> inner_;
    };

    void SetGraphics(const GraphicsPtr& g) override { gl_->SetGraphics(g); }
    void Flip(int32_t sync) override { gl_->Flip(sync); }
    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                       int32_t flags) override {
        auto found = originals.find(pixmap.get());
        auto inner = found != originals.end() ? found->second
                                              : std::static_pointer_cast<TGLImageFrame>(
                                                    gl_->CreateFrameFromPixmap(pixmap, flags));
        kept.push_back(inner);
        return std::make_shared<Frame>(*this, inner);
    }
    std::shared_ptr<TImageFrame> CreateDetailedFrame(const PixmapPtr& pixmap, int32_t flags,
                                                     int32_t texels_per_pixel) override {
        auto found = originals.find(pixmap.get());
        auto inner = found != originals.end()
                         ? found->second
                         : std::static_pointer_cast<TGLImageFrame>(
                               gl_->CreateDetailedFrame(pixmap, flags, texels_per_pixel));
        kept.push_back(inner);
        return std::make_shared<Frame>(*this, inner);
    }
    void SetBlend(int32_t blend) override {
        Op op{Op::Blend};
        op.blend = blend;
        ops->push_back(op);
        gl_->SetBlend(blend);
    }
    void SetAlpha(float a) override {
        color_[3] = static_cast<GLubyte>(std::clamp(a, 0.0f, 1.0f) * 255.0f);
        PushColor();
        gl_->SetAlpha(a);
    }
    void SetColor(int32_t r, int32_t g, int32_t b) override {
        color_[0] = static_cast<GLubyte>(std::clamp(r, 0, 255));
        color_[1] = static_cast<GLubyte>(std::clamp(g, 0, 255));
        color_[2] = static_cast<GLubyte>(std::clamp(b, 0, 255));
        PushColor();
        gl_->SetColor(r, g, b);
    }
    void SetClsColor(int32_t r, int32_t g, int32_t b) override { gl_->SetClsColor(r, g, b); }
    void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) override {
        gl_->SetViewport(x, y, w, h);
    }
    void SetTransform(float ix, float iy, float jx, float jy) override {
        ix_ = ix, iy_ = iy, jx_ = jx, jy_ = jy;
        gl_->SetTransform(ix, iy, jx, jy);
    }
    void SetLineWidth(float w) override { gl_->SetLineWidth(w); }
    void Cls() override {
        ops->push_back(Op{Op::Cls});
        gl_->Cls();
    }
    void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override {
        Op op{Op::Rect};
        Corners(op, x0, y0, x1, y1, tx, ty);
        ops->push_back(op);
        gl_->DrawRect(x0, y0, x1, y1, tx, ty);
    }
    void SetResolution(float w, float h) override { gl_->SetResolution(w, h); }
    // Drawn but not recorded: a frame that uses these cannot be replayed, and its replay
    // then differs from it in the pixel check instead of the calls vanishing from both.
    void Plot(float x, float y) override { gl_->Plot(x, y); }
    void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override {
        gl_->DrawLine(x0, y0, x1, y1, tx, ty);
    }
    void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override {
        gl_->DrawOval(x0, y0, x1, y1, tx, ty);
    }
    void DrawPoly(std::span<const float> points, float hx, float hy, float tx, float ty) override {
        gl_->DrawPoly(points, hx, hy, tx, ty);
    }
    void DrawPixmap(const PixmapPtr& pixmap, int32_t x, int32_t y) override {
        gl_->DrawPixmap(pixmap, x, y);
    }
    PixmapPtr GrabPixmap(int32_t x, int32_t y, int32_t w, int32_t h) override {
        return gl_->GrabPixmap(x, y, w, h);
    }

    // Where the recorded calls go.
    Ops* ops = nullptr;
    // The frames the images had before recording, by the pixmap they were made from (the
    // detail pixmap for a high-resolution frame): the replay uses their textures.
    std::unordered_map<const TPixmap*, std::shared_ptr<TGLImageFrame>> originals;
    std::vector<std::shared_ptr<TGLImageFrame>> kept;

  private:
    void PushColor() {
        Op op{Op::Color};
        std::memcpy(op.color, color_, 4);
        ops->push_back(op);
    }
    void Corners(Op& op, float x0, float y0, float x1, float y1, float tx, float ty) const {
        const float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i) {
            op.vertex[2 * i] = xs[i] * ix_ + ys[i] * iy_ + tx;
            op.vertex[2 * i + 1] = xs[i] * jx_ + ys[i] * jy_ + ty;
        }
    }

    std::shared_ptr<TGLVex2DDriver> gl_;
    GLubyte color_[4] = {255, 255, 255, 255};
    float ix_ = 1, iy_ = 0, jx_ = 0, jy_ = 1;
};

// The GL calls of a list of recorded calls, with the driver's own caching of blend, texture
// binding and texturing.
[[gnu::noinline]] void Replay(const Ops& ops) {
    // The game draws with alpha blending throughout.
    int32_t blend = BlendAlpha;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    GLuint bound = ~0u;
    bool texturing = false;
    glDisable(GL_TEXTURE_2D);
    for (const Op& op : ops) {
        switch (op.kind) {
            case Op::Blend:
                if (op.blend == blend) break;
                blend = op.blend;
                if (blend == BlendAlpha) {
                    glEnable(GL_BLEND);
                    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                    glDisable(GL_ALPHA_TEST);
                } else {
                    glDisable(GL_BLEND);
                    glEnable(GL_ALPHA_TEST);
                    glAlphaFunc(GL_GEQUAL, 0.5f);
                }
                break;
            case Op::Color:
                glColor4ubv(op.color);
                break;
            case Op::Cls:
                glClear(GL_COLOR_BUFFER_BIT);
                break;
            case Op::Rect:
                if (texturing) glDisable(GL_TEXTURE_2D), texturing = false;
                glBegin(GL_QUADS);
                for (int i = 0; i < 4; ++i)
                    glVertex2f(op.vertex[2 * i], op.vertex[2 * i + 1]);
                glEnd();
                break;
            case Op::Quad: {
                if (bound != op.texture)
                    glBindTexture(GL_TEXTURE_2D, op.texture), bound = op.texture;
                if (!texturing) glEnable(GL_TEXTURE_2D), texturing = true;
                const float* t = op.texcoord;
                const float s[4] = {t[0], t[2], t[2], t[0]}, u[4] = {t[1], t[1], t[3], t[3]};
                glBegin(GL_QUADS);
                for (int i = 0; i < 4; ++i) {
                    glTexCoord2f(s[i], u[i]);
                    glVertex2f(op.vertex[2 * i], op.vertex[2 * i + 1]);
                }
                glEnd();
                break;
            }
        }
    }
    vexel::bench::FinishDrawing();
}

// The pictures and font the game loads for one window scale, and its gun's picture.
struct AssetSet {
    GameAssets assets;
    ImagePtr gun;
};

struct Scene {
    std::shared_ptr<TVex2DGraphics> context;
    int32_t scale = 1;
    std::map<int32_t, AssetSet> asset_sets;  // by scale, loaded on first use
    std::vector<ImagePtr> images;
    // Frames recorded in the current window (with its textures) for the replay, and whether
    // their replays drew the same pixels.
    std::vector<Ops> recorded;
    int32_t recorded_generation = 0;
    bool replay_agrees = false;
    int frame = 0;
    bool ok = false;
};

// The pointer sweeps across the screen and back every 512 frames.
int32_t PointerXAt(int frame) {
    const int phase = frame % 512;
    return phase < 256 ? phase * 4 : (511 - phase) * 4;
}

// The fields of GameAssets that hold pictures.
constexpr ImagePtr GameAssets::*kPictures[] = {
    &GameAssets::TitleImage,    &GameAssets::MenuButtonsImage, &GameAssets::SoundButtonImage,
    &GameAssets::SkyImage,      &GameAssets::TerrainImage,     &GameAssets::CursorImage,
    &GameAssets::LogoImage,     &GameAssets::CrosshairImage,   &GameAssets::PointImage,
    &GameAssets::MushroomImage, &GameAssets::CherryImage,      &GameAssets::AppleImage,
    &GameAssets::CarrotImage,   &GameAssets::ChickenImage};

// Has the game draw with `set` from now on: its assets, its font, its gun picture, and every
// target the counterpart of the picture it had.
void UseAssets(Scene& s, const AssetSet& set) {
    GameState& game = Game();
    std::unordered_map<const TImage*, ImagePtr> counterpart;
    for (const auto field : kPictures)
        counterpart[(game.Assets.*field).get()] = set.assets.*field;
    for (auto& layer : game.TargetLayers) {
        for (const EnemyPtr& target : layer) {
            if (const auto found = counterpart.find(target->img.get()); found != counterpart.end())
                target->img = found->second;
        }
    }
    game.Assets = set.assets;
    game.CurrentGun->img = set.gun;
    s.images = {game.Assets.SkyImage,      game.Assets.TerrainImage, game.Assets.CrosshairImage,
                game.Assets.MushroomImage, game.Assets.CherryImage,  game.Assets.AppleImage,
                game.Assets.CarrotImage,   game.Assets.ChickenImage, game.CurrentGun->img};
    SetDrawFont(game.Assets.Font);
    SetDrawColor(255, 255, 255);
    SetClearColor(0, 0, 0);
    SetDrawBlend(BlendAlpha);
}

void PlayFrame(Scene& s);

// Every glyph the texts can use made and drawn once, then `frames` frames played: every
// texture is made before anything is measured or recorded, and recording must find every
// glyph in place.
void WarmUp(Scene& s, int frames) {
    String latin1;
    for (char16_t c = 32; c < 256; ++c)
        latin1 += c;
    DrawString(latin1, 0, -100);
    for (int i = 0; i < frames; ++i)
        PlayFrame(s);
    vexel::bench::FinishDrawing();
}

// The window reopened at `scale`, the game drawing with what it loads there (loaded once),
// and every texture made again outside the measurements. The frames recorded for the replay
// belonged to the old window's textures and are recorded again when next needed.
bool ReopenAtScale(Scene& s, int32_t scale) {
    if (s.scale == scale) return true;
    SetGraphicsScale(scale);
    if (!OpenGraphics(kWidth, kHeight, 0, 0, 0)) return false;
    s.context = TVex2DGraphics::Current();
    s.scale = scale;
    auto [set, fresh] = s.asset_sets.try_emplace(scale);
    if (fresh) {
        LoadedAssets loaded = LoadResources();
        if (!loaded.missing.empty()) return false;
        set->second = {std::move(loaded.assets), TGun_Cherry::Create()->img};
    }
    UseAssets(s, set->second);
    WarmUp(s, 2);
    return true;
}

// One frame of the play screen at the next tick of the game clock.
[[gnu::noinline]] void PlayFrame(Scene& s) {
    GameState& game = Game();
    ++s.frame;
    ClearScreen();
    game.FrameTime = static_cast<float>(s.frame) * 16;
    game.PointerX = PointerXAt(s.frame);
    game.PointerY = 200;
    // The clock never runs out while measured, and shows the minutes of a real game.
    if (static_cast<float>(game.GameEndTime) - game.FrameTime < 10000) game.GameEndTime += 60000;
    UpdatePlayScreen();
}

Scene& TheScene();

// The window's surface in pixels.
std::pair<int, int> SurfaceSize() {
    int32_t width = 0, height = 0;
    CurrentGraphics()->GetSurface(width, height);
    return {width, height};
}

// Records the next `count` frames of the game: every image's frames are made again through
// the tracing driver for the duration, then given back.
void Record(Scene& s, int count, std::vector<std::vector<uint8_t>>* pixels) {
    auto tracer = std::make_shared<TracingDriver>(TheGLVex2DDriver());
    std::vector<ImagePtr> images = s.images;
    for (const auto& glyph : GetDrawFont()->_glyphs) {
        if (glyph && glyph->_image) images.push_back(glyph->_image);
        if (glyph && glyph->_detail_image) images.push_back(glyph->_detail_image);
    }
    std::vector<std::pair<std::vector<std::shared_ptr<TImageFrame>>, std::vector<int32_t>>> saved;
    for (const ImagePtr& image : images) {
        saved.emplace_back(image->frames, image->seqs);
        for (size_t i = 0; i < image->frames.size(); ++i) {
            if (image->frames[i] && image->seqs[i] == GraphicsGeneration()) {
                const auto frame = std::static_pointer_cast<TGLImageFrame>(image->frames[i]);
                const bool detailed =
                    frame->texel_scale != 1 && image->detail && i < image->detail->pixmaps.size();
                tracer
                    ->originals[(detailed ? image->detail->pixmaps[i] : image->pixmaps[i]).get()] =
                    frame;
            }
            image->seqs[i] = 0;
        }
    }
    // A context of the same window and state that draws through the tracer.
    auto traced = TVex2DGraphics::Create(s.context->_graphics, tracer);
    traced->image_font = s.context->image_font;
    traced->blend_mode = s.context->blend_mode;
    traced->color_red = s.context->color_red;
    traced->color_green = s.context->color_green;
    traced->color_blue = s.context->color_blue;
    Ops setup;
    tracer->ops = &setup;
    SelectGraphics(traced);
    for (int i = 0; i < count; ++i) {
        s.recorded.emplace_back();
        tracer->ops = &s.recorded.back();
        PlayFrame(s);
        vexel::bench::FinishDrawing();
        if (pixels) {
            const auto [width, height] = SurfaceSize();
            pixels->push_back(vexel::bench::ReadBackScreen(width, height));
        }
    }
    for (size_t i = 0; i < images.size(); ++i) {
        images[i]->frames = saved[i].first;
        images[i]->seqs = saved[i].second;
    }
    tracer->ops = nullptr;
    SelectGraphics(s.context);
    // Keep the textures of frames made during recording alive for the replay.
    static std::vector<std::shared_ptr<TracingDriver>> tracers;
    tracers.push_back(tracer);
}

Scene& TheScene() {
    static Scene scene = [] {
        Scene s;
        if (!OpenGraphics(kWidth, kHeight, 0, 0, 0)) return s;
        s.context = TVex2DGraphics::Current();
        // The game's own pictures and font, from the Data folder beside the built game.
        if (chdir(MORVELLE_GAME_DIR) != 0) return s;
        SetAutoMidHandle(1);
        SeedRandom(1);
        GameState& game = Game();
        LoadedAssets loaded = LoadResources();
        if (!loaded.missing.empty()) return s;
        game.Assets = std::move(loaded.assets);
        game.SoundOn = 0;
        game.LayerScale = {0.25f, 0.5f, 1.0f};
        game.GunList = {TGun_Cherry::Create()};
        game.CurrentGun = game.GunList[0];
        s.asset_sets[1] = {game.Assets, game.CurrentGun->img};
        UseAssets(s, s.asset_sets[1]);
        CreateRecipes();
        StartGame();
        // The first frames make every texture and glyph and top the chickens up to five.
        WarmUp(s, 30);
        s.ok = game.ChickenCount == 5;
        if (!s.ok) std::fprintf(stderr, "expected 5 chickens, have %d\n", game.ChickenCount);
        return s;
    }();
    return scene;
}

// Records 16 frames for the replay, the first few with their pixels, and checks that the
// replay of each of those draws the same picture.
long RecordAndCompare(Scene& s) {
    s.recorded.clear();
    std::vector<std::vector<uint8_t>> pixels;
    Record(s, 4, &pixels);
    Record(s, 12, nullptr);
    const auto [width, height] = SurfaceSize();
    long differ = 0;
    for (size_t f = 0; f < pixels.size(); ++f) {
        Replay(s.recorded[f]);
        const std::vector<uint8_t> replayed = vexel::bench::ReadBackScreen(width, height);
        for (size_t i = 0; i < replayed.size(); i += 4)
            differ += std::memcmp(&replayed[i], &pixels[f][i], 3) != 0;
    }
    SelectGraphics(s.context);  // the driver's caches no longer match the GL state
    return differ;
}

// Whether frames of the current window are recorded and their replays agree with them.
bool Recorded(Scene& s) {
    if (!s.ok) return false;
    if (s.recorded_generation != GraphicsGeneration()) {
        const long differ = RecordAndCompare(s);
        if (differ > 0) {
            std::fprintf(stderr,
                         "the game's frames and their replay differ in %ld pixels at scale %d\n",
                         differ, s.scale);
        }
        s.recorded_generation = GraphicsGeneration();
        s.replay_agrees = differ == 0;
    }
    return s.replay_agrees;
}

void PlayFrame_Game(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) {
        PlayFrame(s);
        vexel::bench::FinishDrawing();
    }
}

// The same frame in a window at scale 3, drawn with what the game loads there.
void PlayFrame_Game_AtScale3(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    if (!ReopenAtScale(s, 3) || !Recorded(s)) {
        ReopenAtScale(s, 1);
        return state.SkipWithError("no window at scale 3, or the replay differs there");
    }
    for (auto _ : state) {
        PlayFrame(s);
        vexel::bench::FinishDrawing();
    }
    ReopenAtScale(s, 1);
}

void PlayFrame_BareGL(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok || !Recorded(s)) return state.SkipWithError("no display, or the replay differs");
    size_t i = 0;
    for (auto _ : state)
        Replay(s.recorded[i++ % s.recorded.size()]);
    SelectGraphics(s.context);
}

// Fragments per pixel of the window of one play frame and of its replay, counted by an
// occlusion query, in the current window.
std::pair<double, double> FragmentsPerPixel(Scene& s) {
    const auto [width, height] = SurfaceSize();
    const double pixels = static_cast<double>(width) * height;
    const long game = vexel::CountGLFragments([&] { PlayFrame(s); });
    const long bare = vexel::CountGLFragments([&] { Replay(s.recorded[0]); });
    SelectGraphics(s.context);
    return {static_cast<double>(game) / pixels, static_cast<double>(bare) / pixels};
}

// The fragments per pixel at scale 1 and at scale 3.
void PlayFrame_Fragments(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok || !Recorded(s)) return state.SkipWithError("no display, or the replay differs");
    std::pair<double, double> at1, at3;
    for (auto _ : state) {
        at1 = FragmentsPerPixel(s);
        const bool scaled = ReopenAtScale(s, 3) && Recorded(s);
        if (scaled) at3 = FragmentsPerPixel(s);
        ReopenAtScale(s, 1);
        if (!scaled) return state.SkipWithError("no window at scale 3, or the replay differs");
    }
    state.counters["Game_per_pixel"] = at1.first;
    state.counters["BareGL_per_pixel"] = at1.second;
    state.counters["Game_per_pixel_3x"] = at3.first;
    state.counters["BareGL_per_pixel_3x"] = at3.second;
}

void PlayFrame_GameAndFlip(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) {
        PlayFrame(s);
        FlipGraphics(0);
    }
    vexel::bench::FinishDrawing();
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Allocations_PlayFrame(benchmark::State& state) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    vexel::bench::ResetAllocationCount();
    long frames = 0;
    for (auto _ : state) {
        vexel::bench::StartCountingAllocations();
        PlayFrame(s);
        vexel::bench::StopCountingAllocations();
        ++frames;
    }
    vexel::bench::FinishDrawing();
    state.counters["allocations_per_frame"] =
        static_cast<double>(vexel::bench::CountedAllocations().allocations) /
        static_cast<double>(frames);
}

// The base shot at (x, y) with the pointer there; keeps the game's score as it was.
void Shots(benchmark::State& state, int32_t x, int32_t y) {
    Scene& s = TheScene();
    if (!s.ok) return state.SkipWithError("no display");
    GameState& game = Game();
    game.PointerX = x;
    game.PointerY = y;
    const int32_t score = game.Score;
    TGun& gun = *game.CurrentGun;
    for (auto _ : state)
        gun.TGun::Fire(x, y);
    if (game.Score != score) state.SkipWithError("the shot hit something");
}

BENCHMARK(PlayFrame_Game)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(PlayFrame_BareGL)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(PlayFrame_Game_AtScale3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(PlayFrame_Fragments)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayFrame_GameAndFlip)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(Allocations_PlayFrame)->Unit(benchmark::kMillisecond)->Iterations(500);
// The near hills reach y 410 at most at the screen's middle; above y 200 the sky is open in
// every layer.
BENCHMARK_CAPTURE(Shots, NearTerrain, 512, 500)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(Shots, OpenSky, 512, 20)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

const bool compared = vexel::bench::CompareWith("PlayFrame_Game", "PlayFrame_BareGL") &&
                      vexel::bench::CompareWith("PlayFrame_Game_AtScale3", "PlayFrame_Game");

bool Frames(bool game, int32_t count) {
    Scene& s = TheScene();
    for (int32_t i = 0; i < count; ++i) {
        if (game) {
            PlayFrame(s);
            vexel::bench::FinishDrawing();
        } else {
            Replay(s.recorded[static_cast<size_t>(i) % s.recorded.size()]);
        }
    }
    if (!game) SelectGraphics(s.context);
    return true;
}

const bool counted = vexel::bench::CountInstructions(
                         "PlayFrame_Game", 10, [] { return Recorded(TheScene()); },
                         [](int32_t n) { return Frames(true, n); }) &&
                     vexel::bench::CountInstructions(
                         "PlayFrame_BareGL", 10, [] { return Recorded(TheScene()); },
                         [](int32_t n) { return Frames(false, n); }) &&
                     vexel::bench::CompareInstructions("PlayFrame_Game", "PlayFrame_BareGL");

}  // namespace
