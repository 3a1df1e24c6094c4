#pragma once

#include "runtime/cxx_standard.h"

// The OpenGL 2-D driver: the drawing layer's calls as fixed-function OpenGL, with the matrix
// applied on the CPU, blend modes as blend and alpha-test state, the viewport as a scissor
// rectangle and image frames as textures (TGLImageFrame, internal to the driver). Main
// thread only, with the current drawing context's GL context current.

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/image_frame.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap.h"

namespace vexel {

// The 2-D driver over OpenGL: draws into the GLX windows of the OpenGL graphics driver.
class TGLVex2DDriver : public TVex2DDriver {
  public:
    String ToString() const override { return u"OpenGL"; }

    std::vector<GraphicsModePtr> GraphicsModes() override;
    GraphicsPtr AttachGraphics(uintptr_t widget, int32_t flags) override;
    GraphicsPtr CreateGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                               int32_t flags) override;
    void SetGraphics(const GraphicsPtr& graphics) override;
    void Flip(int32_t sync) override;
    void DesktopSize(int32_t& width, int32_t& height) override;

    // A texture frame of the pixmap.
    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                       int32_t flags) override;
    // A texture frame holding the pixmap at `texels_per_pixel` times the image's size.
    std::shared_ptr<TImageFrame> CreateDetailedFrame(const PixmapPtr& pixmap, int32_t flags,
                                                     int32_t texels_per_pixel) override;
    // Issues GL state only when the mode differs from the last one sent.
    void SetBlend(int32_t blend) override;
    // Clamped to 0..1 (NaN is 0), sent as truncate(alpha × 255).
    void SetAlpha(float alpha) override;
    // Each component clamped to 0..255.
    void SetColor(int32_t red, int32_t green, int32_t blue) override;
    void SetClsColor(int32_t red, int32_t green, int32_t blue) override;
    // The whole window turns the scissor test off.
    void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void SetTransform(float ix, float iy, float jx, float jy) override;
    void SetLineWidth(float width) override;
    void Cls() override;
    // Points and lines are drawn through pixel centres.
    void Plot(float x, float y) override;
    void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
    // OvalSegments(rx, ry) segments.
    void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
    // Nothing for fewer than three points or an odd count of numbers.
    void DrawPoly(std::span<const float> xy, float hx, float hy, float tx, float ty) override;
    // In window pixels; no origin, matrix or handle.
    void DrawPixmap(const PixmapPtr& pixmap, int32_t x, int32_t y) override;
    // PIXEL_RGBA32, row 0 at the top.
    PixmapPtr GrabPixmap(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void SetResolution(float width, float height) override;

    // Itself, or null without the OpenGL graphics driver.
    virtual std::shared_ptr<TGLVex2DDriver> Create();
    // Forgets the GL state caches and sets up projection, modelview and viewport for the
    // window of `graphics`.
    virtual void ResetGLContext(const GraphicsPtr& graphics);
};

// Segments of an oval with radii rx and ry: truncate(|rx| + |ry|), at least 12, rounded down
// to a multiple of 4, and at most kMaxOvalSegments.
int32_t OvalSegments(float rx, float ry);
// With this many segments an arc and its chord differ by less than 2^-23 of the radius, less
// than a float coordinate of that size can tell apart, so more segments change no pixel;
// they would only make an enormous oval take seconds to draw.
inline constexpr int32_t kMaxOvalSegments = 8192;

// The one OpenGL 2-D driver, made on first call. It is the current graphics driver (with a
// back buffer) from the first use of the graphics module.
std::shared_ptr<TGLVex2DDriver> TheGLVex2DDriver();

// Image frames are not drawn at once: their quads are collected and sent to OpenGL together,
// in the order drawn, at FlipGraphics and before anything else reaches OpenGL through the
// driver (other drawing, grabs, clearing, new textures, a change of context or resolution).
// What a quad drawn later replaces whole (drawn unblended) is cut out of the earlier ones
// first, so that the rasteriser does not shade pixels that are painted over; every pixel
// ends up as it would have. A program that mixes its own OpenGL calls with the 2-D layer
// calls this first, to have what it drew so far sent.
void SubmitGLVex2DDrawing();

// The driver's GL state caches, for tests: the last blend mode sent, the bound texture and
// whether texturing is on.
struct GLVex2DCaches {
    int32_t blend;
    uint32_t bound_texture;
    bool texturing;
};
GLVex2DCaches CurrentGLVex2DCaches();  // the caches as they are now

}  // namespace vexel
