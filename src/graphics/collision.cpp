#include "graphics/collision.h"

#include <algorithm>
#include <utility>

#include "graphics/image.h"
#include "graphics/internal/scanline_overlap.h"
#include "graphics/vex2d.h"

namespace vexel {

namespace {

constexpr int kLayers = 32;

struct CollisionModule {
    // Each layer holds its newest quad last.
    std::array<std::vector<std::unique_ptr<TQuad>>, kLayers> layers;
    std::vector<std::unique_ptr<TQuad>> pool;
    ScanlineOverlap overlap;
};

CollisionModule& Module() {
    static CollisionModule module;
    return module;
}

std::unique_ptr<TQuad> TakeQuad() {
    auto& pool = Module().pool;
    if (pool.empty()) return std::make_unique<TQuad>();
    auto quad = std::move(pool.back());
    pool.pop_back();
    return quad;
}

void ReturnQuad(std::unique_ptr<TQuad> quad) {
    quad->id = nullptr;
    quad->mask = nullptr;
    Module().pool.push_back(std::move(quad));
}

bool LayerSelected(uint32_t mask, int layer) {
    return ((mask >> layer) & 1u) != 0;
}

// The quad of a frame (or of a solid rectangle without an image) drawn at (x, y): exactly
// where DrawImageFrame puts it under the current origin, rotation and scale.
std::unique_ptr<TQuad> MakeImageQuad(TImage* image, int32_t frame, float x, float y, float w,
                                     float h, const ObjectPtr& id) {
    const float hx = image ? image->handle_x : 0;
    const float hy = image ? image->handle_y : 0;
    const DrawMatrix m = CurrentDrawMatrix();
    float ox, oy;
    GetDrawOrigin(ox, oy);
    const float local[4][2] = {{-hx, -hy}, {-hx + w, -hy}, {-hx + w, -hy + h}, {-hx, -hy + h}};
    float screen[4][2];
    for (int i = 0; i < 4; ++i) {
        const float lx = local[i][0];
        const float ly = local[i][1];
        screen[i][0] = lx * m.ix + ly * m.iy + x + ox;
        screen[i][1] = lx * m.jx + ly * m.jy + y + oy;
    }
    auto quad = TakeQuad();
    quad->id = id;
    quad->frame = frame;
    quad->mask = nullptr;
    if (image) {
        PixmapPtr pixmap = image->Lock(frame, 1, 0);
        const int32_t format = pixmap ? pixmap->format : 0;
        if (PixelFormatHasAlpha(format)) {
            // The overlap test reads 32-bit words with alpha in the top byte; a one-byte
            // alpha format would be read past the end of its rows, so it is widened first.
            quad->mask = PixelFormatBytes[format] == 4 ? std::move(pixmap)
                                                       : ReformatPixmap(*pixmap, PIXEL_RGBA32);
        }
    }
    quad->SetCoords(screen[0][0], screen[0][1], screen[1][0], screen[1][1], screen[2][0],
                    screen[2][1], screen[3][0], screen[3][1]);
    return quad;
}

CollisionMask MaskOf(const TQuad& quad) {
    return {quad.mask->pixels, quad.mask->width, quad.mask->height, quad.mask->pitch};
}

bool QuadsOverlap(const TQuad& a, const TQuad& b) {
    // Touching boxes still go on to the scanline test.
    if (a.maxx < b.minx || a.maxy < b.miny || a.minx > b.maxx || a.miny > b.maxy) return false;
    CollisionMask mask_a, mask_b;
    if (a.mask) mask_a = MaskOf(a);
    if (b.mask) mask_b = MaskOf(b);
    return Module().overlap.PolygonsOverlap({a.xyuv.data(), 4, a.mask ? &mask_a : nullptr},
                                            {b.xyuv.data(), 4, b.mask ? &mask_b : nullptr});
}

std::vector<ObjectPtr> CollideQuad(std::unique_ptr<TQuad> quad, int32_t collide_mask,
                                   int32_t write_mask) {
    auto& module = Module();
    const auto collide = static_cast<uint32_t>(collide_mask);
    const auto write = static_cast<uint32_t>(write_mask);
    std::vector<ObjectPtr> found;
    for (int layer = 0; layer < kLayers; ++layer) {
        if (!LayerSelected(collide, layer)) continue;
        const auto& quads = module.layers[static_cast<size_t>(layer)];
        for (auto it = quads.rbegin(); it != quads.rend(); ++it) {
            if (QuadsOverlap(*quad, **it)) found.push_back((*it)->id);
        }
    }
    for (int layer = 0; layer < kLayers; ++layer) {
        if (!LayerSelected(write, layer)) continue;
        auto copy = TakeQuad();
        *copy = *quad;
        module.layers[static_cast<size_t>(layer)].push_back(std::move(copy));
    }
    ReturnQuad(std::move(quad));
    return found;
}

void ClearLayer(int layer) {
    auto& quads = Module().layers[static_cast<size_t>(layer)];
    for (auto& quad : quads)
        ReturnQuad(std::move(quad));
    quads.clear();
}

// The pair test behind ImagesOverlap: layer 31 is emptied and then holds the first quad, as a
// query writing it there would leave it, and the second quad is tested against it alone. The
// same quads are taken from and returned to the pool as by those queries, without the id
// list.
bool OverlapInLayer31(std::unique_ptr<TQuad> first, TImage& image2, float x2, float y2,
                      int32_t frame2) {
    constexpr int kLayer31 = 31;
    ClearLayer(kLayer31);
    auto& layer = Module().layers[kLayer31];
    layer.push_back(std::move(first));
    auto second = MakeImageQuad(&image2, frame2, x2, y2, static_cast<float>(image2.width),
                                static_cast<float>(image2.height), nullptr);
    const bool hit = QuadsOverlap(*second, *layer.back());
    ReturnQuad(std::move(second));
    return hit;
}

}  // namespace

void TQuad::SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                      float y3) {
    xyuv = {x0, y0, 0, 0, x1, y1, 1, 0, x2, y2, 1, 1, x3, y3, 0, 1};
    minx = std::min({x0, x1, x2, x3});
    maxx = std::max({x0, x1, x2, x3});
    miny = std::min({y0, y1, y2, y3});
    maxy = std::max({y0, y1, y2, y3});
}

std::vector<ObjectPtr> CollideImageFrame(TImage& image, float x, float y, int32_t frame,
                                         int32_t collide_mask, int32_t write_mask,
                                         const ObjectPtr& id) {
    return CollideQuad(MakeImageQuad(&image, frame, x, y, static_cast<float>(image.width),
                                     static_cast<float>(image.height), id),
                       collide_mask, write_mask);
}

std::vector<ObjectPtr> CollideRectangle(float x, float y, float width, float height,
                                        int32_t collide_mask, int32_t write_mask,
                                        const ObjectPtr& id) {
    return CollideQuad(MakeImageQuad(nullptr, 0, x, y, width, height, id), collide_mask,
                       write_mask);
}

void ClearCollisionLayers(int32_t mask) {
    const auto bits = static_cast<uint32_t>(mask);
    for (int layer = 0; layer < kLayers; ++layer) {
        if (bits == 0 || LayerSelected(bits, layer)) ClearLayer(layer);
    }
}

int32_t ImagesOverlap(TImage& image1, float x1, float y1, int32_t frame1, TImage& image2, float x2,
                      float y2, int32_t frame2) {
    auto first = MakeImageQuad(&image1, frame1, x1, y1, static_cast<float>(image1.width),
                               static_cast<float>(image1.height), nullptr);
    return OverlapInLayer31(std::move(first), image2, x2, y2, frame2) ? 1 : 0;
}

int32_t ImagesOverlapTransformed(TImage& image1, float x1, float y1, int32_t frame1,
                                 float rotation1, float scale_x1, float scale_y1, TImage& image2,
                                 float x2, float y2, int32_t frame2, float rotation2,
                                 float scale_x2, float scale_y2) {
    const float rotation = GetDrawRotation();
    float scale_x, scale_y;
    GetDrawScale(scale_x, scale_y);
    SetDrawRotation(rotation1);
    SetDrawScale(scale_x1, scale_y1);
    auto first = MakeImageQuad(&image1, frame1, x1, y1, static_cast<float>(image1.width),
                               static_cast<float>(image1.height), nullptr);
    SetDrawRotation(rotation2);
    SetDrawScale(scale_x2, scale_y2);
    const bool hit = OverlapInLayer31(std::move(first), image2, x2, y2, frame2);
    SetDrawRotation(rotation);
    SetDrawScale(scale_x, scale_y);
    return hit ? 1 : 0;
}

int32_t CollisionLayerSize(int32_t layer) {
    if (layer < 0 || layer >= kLayers) return 0;
    return static_cast<int32_t>(Module().layers[static_cast<size_t>(layer)].size());
}

int32_t CollisionPoolSize() {
    return static_cast<int32_t>(Module().pool.size());
}

}  // namespace vexel
