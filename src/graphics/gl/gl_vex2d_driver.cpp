#include "graphics/gl/gl_vex2d_driver.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/internal/gl_check.h"
#include "graphics/gl/internal/gl_drawing.h"
#include "graphics/gl/internal/gl_image_frame.h"
#include "graphics/gl/internal/texture_upload.h"
#include "graphics/image.h"
#include "graphics/internal/truncate.h"

namespace vexel {
namespace {

// Driver-wide state: the layer's drawing state, the view it is shown in, the GL state cache
// of the current context (reset whenever a drawing context is selected) and the image quads
// waiting for submission.
struct GLDriverState {
    GLDrawingState drawing;
    // The "window" of the placement is the view: the part of the surface the logical frame
    // is shown in (the whole surface unless the window is scaled to a monitor with bars);
    // window pixels, scissor boxes and the coverage of a submission are counted from its
    // corner.
    GraphicsView view;
    int32_t surface_width = 0, surface_height = 0;
    bool letterboxed = false;  // bars beside or above the view
    float point_size = 1;
    GLfloat clear_color[3] = {0, 0, 0};
    GLStateCache gl;
    // Image quads drawn since the last submission, oldest first.
    std::vector<PendingQuad> pending;
};

// Never destroyed: a program that returns from main with quads recorded has them submitted
// by the exit handler that closes its window, which runs after the statics made since that
// handler was added have gone.
GLDriverState& State() {
    static GLDriverState* const state = new GLDriverState;
    return *state;
}

// For drawing other than image quads, which the quads drawn before go ahead of.
void DisableTexturing() {
    SubmitPendingQuads();
    State().gl.DisableTexturing();
}

// Before drawing anything but an image quad: the quads waiting go first, then GL gets the
// current mode's blend state.
void RestoreBlending() {
    SubmitPendingQuads();
    State().gl.SendBlendMode(State().drawing.blend);
}

// The local point (x, y) through the current matrix, then moved by (tx, ty).
void TransformedVertex(float x, float y, float tx, float ty, float offset = 0) {
    const DrawingPlacement& m = State().drawing.placement;
    glVertex2f(x * m.ix + y * m.iy + tx + offset, x * m.jx + y * m.jy + ty + offset);
}

float Clamp01(float value) {
    if (value > 1) return 1;
    if (!(value >= 0)) return 0;  // negative or NaN
    return value;
}

GLubyte ClampByte(int32_t value) {
    return static_cast<GLubyte>(std::clamp(value, 0, 255));
}

void LoadOrtho(float width, float height) {
    State().drawing.placement.ortho_width = width;
    State().drawing.placement.ortho_height = height;
    VEXEL_GL(glMatrixMode(GL_PROJECTION));
    VEXEL_GL(glLoadIdentity());
    VEXEL_GL(glOrtho(0, width, height, 0, -1, 1));
    VEXEL_GL(glMatrixMode(GL_MODELVIEW));
}

// Draws recorded quads, consecutive ones with the same state between one glBegin and glEnd.
class QuadBatch {
  public:
    ~QuadBatch() { Close(); }

    void Draw(const PendingQuad& quad, const QuadCorner (&corners)[4]) {
        if (!open_ || !SameState(quad, *state_)) {
            Close();
            Apply(quad);
            glBegin(GL_QUADS);
            open_ = true;
            state_ = &quad;
        }
        for (const QuadCorner& c : corners) {
            glTexCoord2f(c.s, c.t);
            glVertex2f(c.x, c.y);
        }
    }

    void Close() {
        if (open_) VEXEL_GL(glEnd());
        open_ = false;
    }

  private:
    static bool SameState(const PendingQuad& a, const PendingQuad& b) {
        return a.texture == b.texture && a.texel_centres == b.texel_centres && a.blend == b.blend &&
               a.blending == b.blending && std::equal(a.color, a.color + 4, b.color) &&
               a.scissor == b.scissor &&
               (!a.scissor || std::equal(a.scissor_box, a.scissor_box + 4, b.scissor_box));
    }

    static void Apply(const PendingQuad& quad) {
        GLStateCache& gl = State().gl;
        gl.BindTexture(quad.texture);
        gl.FilterNearest(quad.texture, quad.texel_centres);
        gl.SendBlendMode(quad.blend);
        gl.UseBlending(quad.blending);
        gl.SendColor(quad.color);
        gl.SendScissor(quad.scissor, quad.scissor_box);
    }

    bool open_ = false;
    const PendingQuad* state_ = nullptr;
};

// Working storage of submissions, kept so that its buffers are reused. Never destroyed, like the
// driver's state: a program that returns from main with quads recorded has them submitted by the
// exit handler that closes its window, which runs after the statics made since that handler was
// added have gone.
struct Scratch {
    // Per quad, where its pieces start in `pieces` and how many corners they have; a count
    // of -1 draws the quad whole.
    std::vector<std::pair<size_t, ptrdiff_t>> cut;
    std::vector<QuadCorner> pieces;
    std::vector<std::pair<VisibleRows, float>> runs;
    Coverage coverage;
};

Scratch& TheScratch() {
    static Scratch* const scratch = new Scratch;
    return *scratch;
}

}  // namespace

const GLDrawingState& CurrentGLDrawing() {
    return State().drawing;
}

GLStateCache& TheGLStateCache() {
    return State().gl;
}

// Draws the recorded quads in order, leaving out what a later quad replaces: going back
// from the last, each unturned quad is cut to the rows that no later replacing quad covers;
// then they are drawn first to last. GL's colour, scissor and blend state are the layer's
// again afterwards.
void SubmitPendingQuads() {
    auto& s = State();
    if (s.pending.empty()) return;
    const size_t n = s.pending.size();
    const DrawingPlacement& place = s.drawing.placement;
    const CutAxis along_x = CutAxisOf(place.window_width, place.ortho_width);
    const CutAxis along_y = CutAxisOf(place.window_height, place.ortho_height);
    Scratch& scratch = TheScratch();
    auto& cut = scratch.cut;
    auto& pieces = scratch.pieces;
    cut.assign(n, {0, -1});
    pieces.clear();
    if (along_x.step > 0 && along_y.step > 0) {
        scratch.coverage.Reset(place.window_width, place.window_height);
        for (size_t k = n; k-- > 0;) {
            const PendingQuad& quad = s.pending[k];
            if (!quad.unturned) continue;
            const size_t start = pieces.size();
            if (CollectUncovered(quad, scratch.coverage, along_x, along_y, scratch.runs, pieces) ==
                Uncovered::kPieces) {
                cut[k] = {start, static_cast<ptrdiff_t>(pieces.size() - start)};
            }
            if (!quad.blending && quad.blend != BlendMask)
                scratch.coverage.AddReplacing(quad, along_x.scale, along_y.scale);
        }
    }
    {
        QuadBatch batch;
        for (size_t k = 0; k < n; ++k) {
            const PendingQuad& quad = s.pending[k];
            const auto [start, count] = cut[k];
            if (count < 0) {
                batch.Draw(quad, quad.corners);
                continue;
            }
            for (size_t i = start; i < start + static_cast<size_t>(count); i += 4) {
                const QuadCorner corners[4] = {pieces[i], pieces[i + 1], pieces[i + 2],
                                               pieces[i + 3]};
                batch.Draw(quad, corners);
            }
        }
    }
    s.pending.clear();
    s.gl.RestoreFilters();
    s.gl.RestoreColor(s.drawing.color);
    s.gl.SendScissor(place.scissor, place.scissor_box);
    s.gl.SendBlendMode(s.drawing.blend);
}

void RecordQuad(const TGLImageFrame& frame, bool blending, const int32_t* box, float x0, float y0,
                float x1, float y1, float tx, float ty, float sx, float sy, float sw, float sh) {
    auto& s = State();
    const DrawingPlacement& place = s.drawing.placement;
    const float s0 = sx * frame.uscale;
    const float t0 = sy * frame.vscale;
    const float s1 = (sx + sw) * frame.uscale;
    const float t1 = (sy + sh) * frame.vscale;
    const auto corner = [&](float u, float v, float x, float y) {
        return QuadCorner{u, v, x * place.ix + y * place.iy + tx, x * place.jx + y * place.jy + ty};
    };
    PendingQuad quad{};
    quad.texture = frame.name;
    quad.blend = s.drawing.blend;
    quad.blending = blending;
    std::copy_n(s.drawing.color, 4, quad.color);
    quad.scissor = box != nullptr || place.scissor;
    std::copy_n(box ? box : place.scissor_box, 4, quad.scissor_box);
    quad.corners[0] = corner(s0, t0, x0, y0);
    quad.corners[1] = corner(s1, t0, x1, y0);
    quad.corners[2] = corner(s1, t1, x1, y1);
    quad.corners[3] = corner(s0, t1, x0, y1);
    quad.unturned = place.iy == 0 && place.jx == 0;
    quad.texel_centres =
        frame.filtered && !frame.mipmapped && quad.unturned &&
        SamplesTexelCentres(quad.corners[0], quad.corners[2], frame.uscale, frame.vscale,
                            CutAxisOf(place.window_width, place.ortho_width),
                            CutAxisOf(place.window_height, place.ortho_height));
    s.pending.push_back(quad);
    // A program that draws on and on without showing a frame still sends its quads.
    constexpr size_t kMostPending = 4096;
    if (s.pending.size() >= kMostPending) SubmitPendingQuads();
}

std::vector<GraphicsModePtr> TGLVex2DDriver::GraphicsModes() {
    return TheGLGraphicsDriver()->GraphicsModes();
}

GraphicsPtr TGLVex2DDriver::AttachGraphics(uintptr_t widget, int32_t flags) {
    GraphicsPtr g = TheGLGraphicsDriver()->AttachGraphics(widget, flags);
    if (!g) return nullptr;
    return TVex2DGraphics::Create(g, std::static_pointer_cast<TVex2DDriver>(shared_from_this()));
}

GraphicsPtr TGLVex2DDriver::CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                           int32_t hertz, int32_t flags) {
    GraphicsPtr g = TheGLGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
    if (!g) return nullptr;
    return TVex2DGraphics::Create(g, std::static_pointer_cast<TVex2DDriver>(shared_from_this()));
}

void TGLVex2DDriver::SetGraphics(const GraphicsPtr& graphics) {
    SubmitPendingQuads();  // into the context they were drawn for
    const auto context = std::dynamic_pointer_cast<TVex2DGraphics>(graphics);
    if (!context) {
        TVex2DGraphics::ClearCurrent();
        TheGLGraphicsDriver()->SetGraphics(nullptr);
        return;
    }
    TheGLGraphicsDriver()->SetGraphics(context->_graphics);
    ResetGLContext(context);
    context->MakeCurrent();
}

void TGLVex2DDriver::Flip(int32_t sync) {
    RestoreBlending();
    TheGLGraphicsDriver()->Flip(sync);
}

void TGLVex2DDriver::DesktopSize(int32_t& width, int32_t& height) {
    TheGLGraphicsDriver()->DesktopSize(width, height);
}

std::shared_ptr<TImageFrame> TGLVex2DDriver::CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                                   int32_t flags) {
    auto frame = TGLImageFrame::CreateFromPixmap(pixmap, flags);
    if (frame) frame->filtered = (flags & ImageFlagFiltered) != 0;
    return frame;
}

std::shared_ptr<TImageFrame> TGLVex2DDriver::CreateDetailedFrame(const PixmapPtr& pixmap,
                                                                 int32_t flags,
                                                                 int32_t texels_per_pixel) {
    auto frame = TGLImageFrame::CreateFromPixmap(pixmap, flags);
    if (frame) {
        frame->texel_scale = static_cast<float>(texels_per_pixel);
        frame->filtered = (flags & ImageFlagFiltered) != 0;
    }
    return frame;
}

void TGLVex2DDriver::SetBlend(int32_t blend) {
    auto& s = State();
    if (blend == s.drawing.blend) return;
    s.drawing.blend = blend;
    // Quads waiting for submission keep the mode they were drawn in; GL gets the new one
    // when something is drawn in it.
    if (s.pending.empty()) s.gl.SendBlendMode(blend);
}

void TGLVex2DDriver::SetAlpha(float alpha) {
    auto& s = State();
    s.drawing.color[3] = static_cast<GLubyte>(Clamp01(alpha) * 255.0f);
    s.gl.SetColor(s.drawing.color);
}

void TGLVex2DDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = State();
    s.drawing.color[0] = ClampByte(red);
    s.drawing.color[1] = ClampByte(green);
    s.drawing.color[2] = ClampByte(blue);
    s.gl.SetColor(s.drawing.color);
}

void TGLVex2DDriver::SetClsColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = State();
    s.clear_color[0] = ClampByte(red) / 255.0f;
    s.clear_color[1] = ClampByte(green) / 255.0f;
    s.clear_color[2] = ClampByte(blue) / 255.0f;
    VEXEL_GL(glClearColor(s.clear_color[0], s.clear_color[1], s.clear_color[2], 1.0f));
}

namespace {

// A logical coordinate as the edge of a view pixel.
int32_t ViewPixel(float logical, float scale) {
    if (scale == 1) return static_cast<int32_t>(logical);
    return static_cast<int32_t>(std::lround(logical * scale));
}

}  // namespace

void TGLVex2DDriver::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    auto& s = State();
    DrawingPlacement& place = s.drawing.placement;
    // Recorded quads keep the box they were drawn in.
    if (x == 0 && y == 0 && width == CurrentGraphicsWidth() && height == CurrentGraphicsHeight()) {
        place.scissor = false;
    } else {
        const float scale = s.view.scale;
        const int32_t left = ViewPixel(static_cast<float>(x), scale);
        const int32_t right = ViewPixel(static_cast<float>(x) + static_cast<float>(width), scale);
        const int32_t top = ViewPixel(static_cast<float>(y), scale);
        const int32_t bottom = ViewPixel(static_cast<float>(y) + static_cast<float>(height), scale);
        place.scissor = true;
        place.scissor_box[0] = left;
        place.scissor_box[1] = place.window_height - bottom;
        place.scissor_box[2] = right - left;
        place.scissor_box[3] = bottom - top;
    }
    s.gl.SetScissor(place.scissor, place.scissor_box);
}

void TGLVex2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    DrawingPlacement& place = State().drawing.placement;
    place.ix = ix;
    place.iy = iy;
    place.jx = jx;
    place.jy = jy;
}

void TGLVex2DDriver::SetLineWidth(float width) {
    // In window pixels, of which a logical pixel is view.scale wide.
    const float scale = State().view.scale;
    if (scale != 1) width *= scale;
    VEXEL_GL(glLineWidth(width));
}

void TGLVex2DDriver::Cls() {
    SubmitPendingQuads();
    auto& s = State();
    if (!s.letterboxed) {
        VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
        return;
    }
    // The clear colour fills the view (within the drawing viewport), the bars around it stay
    // black.
    const DrawingPlacement& place = s.drawing.placement;
    const GLint whole_view[4] = {0, 0, place.window_width, place.window_height};
    s.gl.SendScissor(true, place.scissor ? place.scissor_box : whole_view);
    VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
    VEXEL_GL(glClearColor(0, 0, 0, 1));
    const GraphicsView& v = s.view;
    const int32_t below = s.surface_height - v.y - v.height;
    const GLint bars[4][4] = {
        {0, 0, v.x, s.surface_height},
        {v.x + v.width, 0, s.surface_width - v.x - v.width, s.surface_height},
        {0, 0, s.surface_width, below},
        {0, below + v.height, s.surface_width, v.y},
    };
    for (const auto& bar : bars) {
        if (bar[2] <= 0 || bar[3] <= 0) continue;
        VEXEL_GL(glScissor(bar[0], bar[1], bar[2], bar[3]));
        VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
    }
    VEXEL_GL(glClearColor(s.clear_color[0], s.clear_color[1], s.clear_color[2], 1.0f));
    // GL's box is the last bar's now; the cached one is sent again.
    s.gl.ResendScissorBox();
    s.gl.SendScissor(place.scissor, place.scissor_box);
}

void TGLVex2DDriver::Plot(float x, float y) {
    DisableTexturing();
    RestoreBlending();
    glBegin(GL_POINTS);
    glVertex2f(x + 0.5f, y + 0.5f);
    VEXEL_GL(glEnd());
}

void TGLVex2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    DisableTexturing();
    RestoreBlending();
    glBegin(GL_LINES);
    TransformedVertex(x0, y0, tx, ty, 0.5f);
    TransformedVertex(x1, y1, tx, ty, 0.5f);
    VEXEL_GL(glEnd());
}

void TGLVex2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    DisableTexturing();
    RestoreBlending();
    glBegin(GL_QUADS);
    TransformedVertex(x0, y0, tx, ty);
    TransformedVertex(x1, y0, tx, ty);
    TransformedVertex(x1, y1, tx, ty);
    TransformedVertex(x0, y1, tx, ty);
    VEXEL_GL(glEnd());
}

int32_t OvalSegments(float rx, float ry) {
    int32_t segments = std::max(TruncateCoordinate(std::fabs(rx) + std::fabs(ry)), 12);
    segments = std::min(segments, kMaxOvalSegments);
    return segments - segments % 4;
}

void TGLVex2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    const float rx = (x1 - x0) * 0.5f;
    const float ry = (y1 - y0) * 0.5f;
    const int32_t segments = OvalSegments(rx, ry);
    const float cx = x0 + rx;
    const float cy = y0 + ry;
    DisableTexturing();
    RestoreBlending();
    glBegin(GL_POLYGON);
    for (int32_t i = 0; i < segments; ++i) {
        const double radians = static_cast<double>(i) * 360.0 / segments * std::numbers::pi / 180;
        TransformedVertex(cx + rx * static_cast<float>(std::cos(radians)),
                          cy - ry * static_cast<float>(std::sin(radians)), tx, ty);
    }
    VEXEL_GL(glEnd());
}

void TGLVex2DDriver::DrawPoly(std::span<const float> xy, float hx, float hy, float tx, float ty) {
    if (xy.size() < 6 || xy.size() % 2 != 0) return;
    DisableTexturing();
    RestoreBlending();
    glBegin(GL_POLYGON);
    for (size_t i = 0; i < xy.size(); i += 2)
        TransformedVertex(xy[i] + hx, xy[i + 1] + hy, tx, ty);
    VEXEL_GL(glEnd());
}

void TGLVex2DDriver::DrawPixmap(const PixmapPtr& pixmap, int32_t x, int32_t y) {
    if (!pixmap) return;
    RestoreBlending();
    const int32_t blend = State().drawing.blend;
    DisableTexturing();
    SetBlend(BlendSolid);
    const PixmapPtr rgba = AsRGBA(pixmap);
    // Logical pixels are view.scale window pixels wide; the raster position starts at the
    // view's top-left corner.
    const float scale = State().view.scale;
    VEXEL_GL(glPixelZoom(scale, -scale));
    VEXEL_GL(glRasterPos2i(0, 0));
    VEXEL_GL(glBitmap(0, 0, 0, 0, static_cast<GLfloat>(x) * scale, static_cast<GLfloat>(-y) * scale,
                      nullptr));
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, rgba->pitch / 4));
    VEXEL_GL(glDrawPixels(rgba->width, rgba->height, GL_RGBA, GL_UNSIGNED_BYTE, rgba->pixels));
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, 0));
    VEXEL_GL(glPixelZoom(1, 1));
    SetBlend(blend);
}

PixmapPtr TGLVex2DDriver::GrabPixmap(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    RestoreBlending();
    const int32_t blend = State().drawing.blend;
    SetBlend(BlendSolid);
    const GraphicsView& v = State().view;
    if (v.scale != 1 || v.x != 0 || v.y != 0) {
        // The window pixels under the logical rectangle, brought to its logical size.
        const int32_t left = v.x + ViewPixel(static_cast<float>(x), v.scale);
        const int32_t top = v.y + ViewPixel(static_cast<float>(y), v.scale);
        const int32_t w =
            std::max(1, v.x + ViewPixel(static_cast<float>(x + width), v.scale) - left);
        const int32_t h =
            std::max(1, v.y + ViewPixel(static_cast<float>(y + height), v.scale) - top);
        const PixmapPtr pixels = NewPixmap(w, h, PIXEL_RGBA32, 4);
        VEXEL_GL(glPixelStorei(GL_PACK_ROW_LENGTH, pixels->pitch / 4));
        VEXEL_GL(glReadPixels(left, State().surface_height - top - h, w, h, GL_RGBA,
                              GL_UNSIGNED_BYTE, pixels->pixels));
        VEXEL_GL(glPixelStorei(GL_PACK_ROW_LENGTH, 0));
        SetBlend(blend);
        return ScalePixmap(*MirrorPixmapY(*pixels), width, height);
    }
    const PixmapPtr pixmap = NewPixmap(width, height, PIXEL_RGBA32, 4);
    VEXEL_GL(glReadPixels(x, CurrentGraphicsHeight() - height - y, width, height, GL_RGBA,
                          GL_UNSIGNED_BYTE, pixmap->pixels));
    SetBlend(blend);
    return MirrorPixmapY(*pixmap);
}

void TGLVex2DDriver::SetResolution(float width, float height) {
    SubmitPendingQuads();  // drawn in the old projection
    LoadOrtho(width, height);
}

std::shared_ptr<TGLVex2DDriver> TGLVex2DDriver::Create() {
    if (!TheGLGraphicsDriver()) return nullptr;
    return std::static_pointer_cast<TGLVex2DDriver>(shared_from_this());
}

void TGLVex2DDriver::ResetGLContext(const GraphicsPtr& graphics) {
    int32_t width = 0, height = 0, depth, hertz, flags;
    graphics->GetSettings(width, height, depth, hertz, flags);
    int32_t surface_width = 0, surface_height = 0;
    graphics->GetSurface(surface_width, surface_height);
    auto& s = State();
    s.pending.clear();
    s.drawing.blend = 0;
    s.surface_width = surface_width;
    s.surface_height = surface_height;
    s.view = FitGraphicsView(width, height, surface_width, surface_height);
    s.letterboxed = s.view.width != surface_width || s.view.height != surface_height;
    s.drawing.placement.window_width = s.view.width;
    s.drawing.placement.window_height = s.view.height;
    s.gl.Reset(s.view.x, surface_height - s.view.y - s.view.height);
    LoadOrtho(static_cast<float>(width), static_cast<float>(height));
    VEXEL_GL(glLoadIdentity());
    VEXEL_GL(glViewport(s.view.x, surface_height - s.view.y - s.view.height, s.view.width,
                        s.view.height));
    // A plotted point covers one logical pixel. (The size belongs to the GL context, so it
    // is sent on every selection once any context has been scaled.)
    if (s.view.scale != 1 || s.point_size != 1) {
        s.point_size = s.view.scale;
        VEXEL_GL(glPointSize(s.point_size));
    }
}

std::shared_ptr<TGLVex2DDriver> TheGLVex2DDriver() {
    static const auto driver = std::make_shared<TGLVex2DDriver>();
    return driver;
}

void SubmitGLVex2DDrawing() {
    SubmitPendingQuads();
}

GLVex2DCaches CurrentGLVex2DCaches() {
    const auto& s = State();
    return {s.drawing.blend, s.gl.BoundTexture(), s.gl.Texturing()};
}

}  // namespace vexel
