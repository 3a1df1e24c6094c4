#pragma once

#include "runtime/cxx_standard.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "pixmap/pixmap.h"
#include "runtime/object.h"

namespace vexel {

class TImage;

// A drawn image frame (or a solid rectangle) as the collision layers keep it: four screen
// corners with texture coordinates (0, 0), (1, 0), (1, 1), (0, 1), their bounding box, and the
// frame's pixmap as a mask (null = opaque everywhere). The mask is always a 32-bit format with
// alpha in the top byte.
struct TQuad {
    ObjectPtr id;
    PixmapPtr mask;
    int32_t frame = 0;
    float minx = 0, miny = 0, maxx = 0, maxy = 0;
    std::array<float, 16> xyuv{};

    // Sets the four corners (with their texture coordinates) and the bounding box.
    void SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
};

// Collision layers 0..31. A query tests the quad of a frame drawn at (x, y) with the current
// origin, rotation and scale against the quads of every layer in `collide_mask` (newest first)
// and returns their ids in the order found; then writes it to every layer in `write_mask`.
// Main thread only.
std::vector<ObjectPtr> CollideImageFrame(TImage& image, float x, float y, int32_t frame,
                                         int32_t collide_mask, int32_t write_mask,
                                         const ObjectPtr& id);
// The same for a solid rectangle with handle (0, 0).
std::vector<ObjectPtr> CollideRectangle(float x, float y, float width, float height,
                                        int32_t collide_mask, int32_t write_mask,
                                        const ObjectPtr& id);
// Empties the layers in `mask`, or every layer when mask is 0; their quads go back to the
// pool.
void ClearCollisionLayers(int32_t mask);

// 1 when the two frames drawn at their positions share an opaque pixel, else 0. Uses layer
// 31, which keeps image 1's quad until the next call.
int32_t ImagesOverlap(TImage& image1, float x1, float y1, int32_t frame1, TImage& image2, float x2,
                      float y2, int32_t frame2);
// As ImagesOverlap with each image under its own rotation and scale; the drawing rotation and
// scale are restored afterwards.
int32_t ImagesOverlapTransformed(TImage& image1, float x1, float y1, int32_t frame1,
                                 float rotation1, float scale_x1, float scale_y1, TImage& image2,
                                 float x2, float y2, int32_t frame2, float rotation2,
                                 float scale_x2, float scale_y2);

// Number of quads in each layer and in the pool, for tests.
// @{
int32_t CollisionLayerSize(int32_t layer);
int32_t CollisionPoolSize();
// @}

}  // namespace vexel
