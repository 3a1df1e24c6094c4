#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "graphics/graphics.h"
#include "runtime/object.h"
#include "runtime/string.h"

namespace vexel {

class TImageFont;
class TImageFrame;
class TPixmap;
class TVex2DDriver;

// Blend modes of the drawing layer.
inline constexpr int32_t BlendMask = 1;   // no blending; alpha below one half is not drawn
inline constexpr int32_t BlendSolid = 2;  // source replaces destination
inline constexpr int32_t BlendAlpha = 3;  // source over destination by source alpha
inline constexpr int32_t BlendLight = 4;  // source times alpha added to destination
inline constexpr int32_t BlendShade = 5;  // destination multiplied by source colour

// The drawing state of one graphics context. It survives deselection: MakeCurrent re-applies
// all of it through Validate, so every context keeps its own colour, blend, transform,
// viewport and font. Main thread only.
class TVex2DGraphics : public TGraphics {
  public:
    int32_t color_red = 255, color_green = 255, color_blue = 255;
    float color_alpha = 1.0f;
    int32_t clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
    float line_width = 1.0f;
    float tform_rot = 0;
    float tform_scale_x = 1.0f, tform_scale_y = 1.0f;
    float tform_ix = 1.0f, tform_iy = 0, tform_jx = 0, tform_jy = 1.0f;
    int32_t viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
    float origin_x = 0, origin_y = 0;
    // Stored negated: the local offset at which shapes and text start.
    float handle_x = 0, handle_y = 0;
    std::shared_ptr<TImageFont> image_font;
    // The width of the outline around text; 0 for none.
    float text_outline = 0;
    int32_t blend_mode = BlendMask;
    float vres_width = 0, vres_height = 0;
    // Virtual units per window pixel.
    float vres_mousexscale = 1.0f, vres_mouseyscale = 1.0f;
    int32_t g_width = 0, g_height = 0;
    GraphicsPtr _graphics;
    std::shared_ptr<TVex2DDriver> _driver;
    int32_t _setup = 0;

    // Slot filler of the virtual-operation order; 0.
    int _pad() override { return 0; }
    // The driver of the wrapped context.
    std::shared_ptr<TGraphicsDriver> Driver() override;
    // Forwarded to the wrapped context; zeros once closed.
    void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                     int32_t& flags) override;
    // Closes the wrapped context; this one is no longer current.
    void Close() override;
    // Forwarded to the wrapped context.
    // @{
    void GetSurface(int32_t& width, int32_t& height) override;
    int32_t SetDesktopFullScreen(int32_t on) override;
    int32_t DesktopFullScreen() override;
    // @}
    // Picks up a change of window size, then re-sends the whole state to the driver.
    virtual void Validate();
    // Makes this the current context and its driver the current 2-D driver; the first time,
    // clears both buffers to the clear colour.
    virtual void MakeCurrent();

    // Makes no context current.
    static void ClearCurrent();
    // Null while no context is current.
    static std::shared_ptr<TVex2DGraphics> Current();
    // A context over `graphics` with the default state for its size.
    static std::shared_ptr<TVex2DGraphics> Create(GraphicsPtr graphics,
                                                  std::shared_ptr<TVex2DDriver> driver);
};

// The 2-D driver interface. Every operation of this base does nothing (and makes nothing), so
// it serves as the driver while no context is current. Coordinates passed to DrawLine,
// DrawRect and DrawOval are local: the driver maps (x, y) through the matrix of SetTransform
// to (x·ix + y·iy + tx, x·jx + y·jy + ty).
class TVex2DDriver : public TGraphicsDriver {
  public:
    // A drawable frame of the pixmap (with the image flags); null here.
    virtual std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>&,
                                                               int32_t) {
        return nullptr;
    }
    // A frame whose texture holds the image at `texels_per_pixel` times its size: it is drawn
    // with source rectangles in the ordinary image's pixels. Null when the driver cannot (the
    // image then uses its ordinary pixmap).
    virtual std::shared_ptr<TImageFrame> CreateDetailedFrame(const std::shared_ptr<TPixmap>&,
                                                             int32_t, int32_t) {
        return nullptr;
    }
    // The blend mode, alpha, draw colour and clear colour used from now on.
    // @{
    virtual void SetBlend(int32_t) {}
    virtual void SetAlpha(float) {}
    virtual void SetColor(int32_t, int32_t, int32_t) {}
    virtual void SetClsColor(int32_t, int32_t, int32_t) {}
    // @}
    // In window pixels.
    virtual void SetViewport(int32_t, int32_t, int32_t, int32_t) {}
    // The matrix ix, iy, jx, jy that local coordinates go through.
    virtual void SetTransform(float, float, float, float) {}
    // The width of lines in pixels.
    virtual void SetLineWidth(float) {}
    // Clears the viewport to the clear colour.
    virtual void Cls() {}
    // One point at (x, y).
    virtual void Plot(float, float) {}
    // A line from (x1, y1) to (x2, y2), a rectangle or an ellipse from (x1, y1) to (x2, y2)
    // in local coordinates, placed at (tx, ty): the last two arguments.
    // @{
    virtual void DrawLine(float, float, float, float, float, float) {}
    virtual void DrawRect(float, float, float, float, float, float) {}
    virtual void DrawOval(float, float, float, float, float, float) {}
    // @}
    // x, y pairs; each point is offset by the handle (hx, hy) before the matrix.
    virtual void DrawPoly(std::span<const float>, float, float, float, float) {}
    // In window pixels; no origin, matrix or handle.
    virtual void DrawPixmap(const std::shared_ptr<TPixmap>&, int32_t, int32_t) {}
    // A copy of the rectangle x, y, width, height of the back buffer; null here.
    virtual std::shared_ptr<TPixmap> GrabPixmap(int32_t, int32_t, int32_t, int32_t) {
        return nullptr;
    }
    // The virtual size the window's pixels stand for.
    virtual void SetResolution(float, float) {}
};

// The current 2-D driver; the do-nothing base while no context is current.
TVex2DDriver& CurrentVex2DDriver();

// Module functions over the current drawing context. Before a context is current they change
// a detached default state and draw nothing.
//
// Clears the viewport to the clear colour.
void ClearScreen();
// The colour ClearScreen clears to (0 to 255 each).
// @{
void SetClearColor(int32_t red, int32_t green, int32_t blue);
void GetClearColor(int32_t& red, int32_t& green, int32_t& blue);
// @}
// The colour that shapes and text are drawn in, and that tints images (0 to 255 each).
// @{
void SetDrawColor(int32_t red, int32_t green, int32_t blue);
void GetDrawColor(int32_t& red, int32_t& green, int32_t& blue);
// @}
// The blend mode (BlendMask, BlendSolid, BlendAlpha, BlendLight, BlendShade).
// @{
void SetDrawBlend(int32_t blend);
int32_t GetDrawBlend();
// @}
// The alpha everything is drawn with, 0 to 1. Stored unclamped; the driver clamps what it
// sends.
// @{
void SetDrawAlpha(float alpha);
float GetDrawAlpha();
// @}
// The width of lines in pixels.
// @{
void SetDrawLineWidth(float width);
float GetDrawLineWidth();
// @}
// The rotation in degrees that drawing and collision apply.
// @{
void SetDrawRotation(float degrees);
float GetDrawRotation();
// @}
// The scale that drawing and collision apply.
// @{
void SetDrawScale(float sx, float sy);
void GetDrawScale(float& sx, float& sy);
// @}
// Rotation and scale at once.
void SetDrawTransform(float degrees, float sx, float sy);
// The offset added to every position drawn.
// @{
void SetDrawOrigin(float x, float y);
void GetDrawOrigin(float& x, float& y);
// @}
// The local point of a shape or text that lands on the position it is drawn at.
// @{
void SetDrawHandle(float x, float y);
void GetDrawHandle(float& x, float& y);
// @}
// The rectangle drawing is clipped to. In virtual coordinates; the driver receives window
// pixels.
// @{
void SetDrawViewport(int32_t x, int32_t y, int32_t width, int32_t height);
void GetDrawViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height);
// @}
// The size in virtual units that the window shows; drawing and the virtual mouse use it.
// @{
void SetVirtualSize(float width, float height);
float VirtualSizeWidth();
float VirtualSizeHeight();
// @}
// The pointer's position and movement in virtual units.
// @{
float VirtualMouseXPos();
float VirtualMouseYPos();
float VirtualMouseXDelta();
float VirtualMouseYDelta();
// @}
// Moves the pointer to a position in virtual units.
void MoveVirtualMousePointer(float x, float y);
// Shapes at a position, through the origin, handle, rotation and scale: a point, a line
// (with or without its last pixel), a rectangle, an ellipse in the rectangle, a polygon of
// x, y pairs.
// @{
void PlotPoint(float x, float y);
void DrawLineSegment(float x, float y, float x2, float y2, int32_t draw_last_pixel);
void DrawRectangle(float x, float y, float width, float height);
void DrawEllipse(float x, float y, float width, float height);
void DrawPolygon(std::span<const float> xy);
// @}
// One line of text in the current font, its top left at (x, y).
void DrawString(const String& text, float x, float y);
// The width, in the font's pixels, of the black outline DrawString draws each glyph on; 0
// (the default) draws the glyphs alone. The outline keeps light text readable over a busy
// picture and scales with the text; the draw colour tints the glyphs only.
// @{
void SetTextOutline(float width);
float GetTextOutline();
// @}
// The font DrawString uses. Null selects the default font.
// @{
void SetDrawFont(std::shared_ptr<TImageFont> font);
std::shared_ptr<TImageFont> GetDrawFont();
// @}
// The size in pixels DrawString would give the text in the current font.
// @{
int32_t TextWidthOf(const String& text);
int32_t TextHeightOf(const String& text);
// @}
// Copies a pixmap to window pixel (x, y), untransformed.
void DrawPixmapAt(const std::shared_ptr<TPixmap>& pixmap, int32_t x, int32_t y);
// A copy of a rectangle of the back buffer in window pixels; null without a context.
std::shared_ptr<TPixmap> GrabPixmapRect(int32_t x, int32_t y, int32_t width, int32_t height);

// The drawing matrix of the current context: ix, iy, jx, jy.
struct DrawMatrix {
    float ix, iy, jx, jy;
};
// The matrix of the current context.
DrawMatrix CurrentDrawMatrix();
// Recomputes the matrix from the stored rotation and scale and sends it to the driver and the
// collision layer.
void RefreshDrawMatrix();

}  // namespace vexel
