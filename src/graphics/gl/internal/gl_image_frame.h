#pragma once

// The OpenGL 2-D driver's image frames: textures, with what their drawing may skip. The
// driver makes them (TGLVex2DDriver::CreateFrameFromPixmap); tests and benchmarks look into
// them. Main thread only, with a context current.

#include <cstdint>
#include <memory>

#include "graphics/gl/internal/frame_content.h"
#include "graphics/image_frame.h"
#include "pixmap/pixmap.h"

namespace vexel {

// One image frame as a texture. The texture may be larger than the image (sizes are powers
// of two); (u1, v1) is where the image ends in it.
class TGLImageFrame : public TImageFrame {
  public:
    // Queues the texture name for deletion at the next texture creation, unless the texture
    // belongs to an older graphics generation (its context is gone).
    ~TGLImageFrame() override;

    // Records the quad (or the pieces of it that hold content) for the driver's next
    // submission.
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx, float sy,
              float sw, float sh) override;

    // A texture of the fitted power-of-two size: an image larger than the largest accepted
    // texture is scaled down, never cut; a smaller image gets its last column and row repeated
    // once beyond its edge so filtering does not pull in undefined texels. Flags:
    // ImageFlagFiltered, ImageFlagMipmapped. Throws "Unable to calculate tex size".
    static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const PixmapPtr& pixmap, int32_t flags);

    // A texture made from a high-resolution picture holds this many texels per image pixel;
    // source rectangles passed to Draw are in image pixels all the same.
    float texel_scale = 1;
    // Made with linear filtering through the driver (ImageFlagFiltered). Quads that sample
    // such a texture at texel centres, one texel a window pixel, are drawn with nearest
    // filtering, which gives the same pixels for less work.
    bool filtered = false;
    // Made with mipmaps. Their smaller levels mix texels from afar, so such frames are
    // always drawn whole.
    bool mipmapped = false;

    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    float uscale = 0, vscale = 0;
    uint32_t name = 0;
    // GraphicsGeneration at creation; 0 once the name has been handed back.
    int32_t seq = 0;

    // What the drawing can skip without changing a pixel, found when the texture is made.
    FrameContent content;
};

}  // namespace vexel
