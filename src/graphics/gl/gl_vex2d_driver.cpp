#include "graphics/gl/gl_vex2d_driver.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/internal/gl_check.h"
#include "graphics/gl/internal/texture_upload.h"
#include "graphics/image.h"
#include "graphics/internal/truncate.h"

namespace vexel {

namespace {

// Driver-wide state. The first three mirror GL state of the current context and are reset
// whenever a drawing context is selected.
struct GLDriverState {
    int32_t blend = 0;
    // Whether GL_BLEND is on. It follows the blend mode except while opaque frames are drawn
    // in BlendAlpha, and goes back to the mode's setting before anything else is drawn.
    bool blending = false;
    GLuint bound_texture = 0;
    bool texturing = false;
    float ix = 0, iy = 0, jx = 0, jy = 0;
    // The projection's size and the window's, for turning drawing units into pixels.
    float ortho_width = 1, ortho_height = 1;
    int32_t window_width = 0, window_height = 0;
    // Where the logical frame is shown in the window (y from the top) and at what scale;
    // the whole window at 1 unless the window is scaled or covers its monitor.
    GraphicsView view;
    bool letterboxed = false;  // bars beside or above the view
    float point_size = 1;
    GLfloat clear_color[3] = {0, 0, 0};
    // The viewport's scissor box (x, y from the bottom, width, height) when it is on.
    bool scissor = false;
    GLint scissor_box[4] = {0, 0, 0, 0};
    GLubyte color[4] = {0, 0, 0, 0};
    std::vector<GLuint> dead_textures;
    int32_t dead_generation = 0;
};

// Never destroyed: frames held by long-lived images may be released during static
// destruction and still queue their names here.
GLDriverState& State() {
    static GLDriverState* const state = new GLDriverState;
    return *state;
}

void EnableTexturing(GLuint name) {
    auto& s = State();
    if (s.bound_texture != name) {
        VEXEL_GL(glBindTexture(GL_TEXTURE_2D, name));
        s.bound_texture = name;
    }
    if (!s.texturing) {
        VEXEL_GL(glEnable(GL_TEXTURE_2D));
        s.texturing = true;
    }
}

void DisableTexturing() {
    auto& s = State();
    if (s.texturing) {
        VEXEL_GL(glDisable(GL_TEXTURE_2D));
        s.texturing = false;
    }
}

bool ModeBlends(int32_t blend) {
    return blend == BlendAlpha || blend == BlendLight || blend == BlendShade;
}

// The modes in which a texel of alpha 0 leaves the destination as it was: not drawn at all
// (mask), or added in with weight 0 (alpha, light).
bool ClearTexelsChangeNothing(int32_t blend) {
    return blend == BlendMask || blend == BlendAlpha || blend == BlendLight;
}

void SetBlending(bool on) {
    auto& s = State();
    if (on) {
        VEXEL_GL(glEnable(GL_BLEND));
    } else {
        VEXEL_GL(glDisable(GL_BLEND));
    }
    s.blending = on;
}

void UseBlending(bool on) {
    if (State().blending != on) SetBlending(on);
}

// Blending as the current mode has it.
void RestoreBlending() {
    UseBlending(ModeBlends(State().blend));
}

// The local point (x, y) through the current matrix, then moved by (tx, ty).
void TransformedVertex(float x, float y, float tx, float ty, float offset = 0) {
    const auto& s = State();
    glVertex2f(x * s.ix + y * s.iy + tx + offset, x * s.jx + y * s.jy + ty + offset);
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
    State().ortho_width = width;
    State().ortho_height = height;
    VEXEL_GL(glMatrixMode(GL_PROJECTION));
    VEXEL_GL(glLoadIdentity());
    VEXEL_GL(glOrtho(0, width, height, 0, -1, 1));
    VEXEL_GL(glMatrixMode(GL_MODELVIEW));
}

// A texture name of w × h with the levels the flags ask for. Names queued by released frames
// are deleted here, on the main thread with a context current, unless they belong to an older
// generation whose context is gone.
GLuint CreateTexture(int32_t width, int32_t height, int32_t flags) {
    auto& s = State();
    GLuint name = 0;
    VEXEL_GL(glGenTextures(1, &name));
    const int32_t generation = GraphicsGeneration();
    if (s.dead_generation == generation) {
        for (GLuint dead : s.dead_textures)
            VEXEL_GL(glDeleteTextures(1, &dead));
    }
    s.dead_textures.clear();
    s.dead_generation = generation;

    EnableTexturing(name);
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE));
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE));
    const bool filtered = (flags & ImageFlagFiltered) != 0;
    const bool mipmapped = (flags & ImageFlagMipmapped) != 0;
    VEXEL_GL(
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filtered ? GL_LINEAR : GL_NEAREST));
    const GLint min_filter = filtered ? (mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR)
                                      : (mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter));
    AllocateTextureLevels(width, height, mipmapped);
    return name;
}

// The frame's opacity, the box of its pixels that are not clear and each column's rows of
// them, over the w × h image at the top left of the RGBA pixmap.
void MeasureContent(const TPixmap& rgba, int32_t w, int32_t h, TGLImageFrame& frame) {
    const auto columns = static_cast<size_t>(w);
    frame.column_top.assign(columns, h);
    frame.column_bottom.assign(columns, 0);
    frame.core_top.assign(columns, 0);
    frame.core_bottom.assign(columns, 0);
    std::vector<int32_t> run_start(columns, 0);  // where each column's current opaque run began
    bool opaque = true;
    for (int32_t y = 0; y <= h; ++y) {
        const uint8_t* row = y < h ? rgba.PixelPtr(0, y) : nullptr;
        uint32_t all = 0xFFu;
        for (size_t x = 0; x < columns; ++x) {
            const uint8_t alpha = row ? row[4 * x + 3] : 0;  // a clear row below the last
            all &= alpha;
            if (alpha != 0) {
                frame.column_top[x] = std::min(frame.column_top[x], y);
                frame.column_bottom[x] = y + 1;
            }
            if (alpha != 0xFF) {
                if (y - run_start[x] > frame.core_bottom[x] - frame.core_top[x]) {
                    frame.core_top[x] = run_start[x];
                    frame.core_bottom[x] = y;
                }
                run_start[x] = y + 1;
            }
        }
        if (row) opaque = opaque && all == 0xFFu;
    }
    int32_t x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int32_t x = 0; x < w; ++x) {
        const int32_t top = frame.column_top[static_cast<size_t>(x)];
        const int32_t bottom = frame.column_bottom[static_cast<size_t>(x)];
        if (top >= bottom) continue;
        x0 = std::min(x0, x);
        x1 = x + 1;
        y0 = std::min(y0, top);
        y1 = std::max(y1, bottom);
    }
    frame.opaque = opaque;
    if (x0 >= x1) x0 = x1 = y0 = y1 = 0;
    frame.content_x0 = x0;
    frame.content_y0 = y0;
    frame.content_x1 = x1;
    frame.content_y1 = y1;
}

void CopyPixel(TPixmap& pixmap, int32_t from_x, int32_t from_y, int32_t to_x, int32_t to_y) {
    std::memcpy(pixmap.PixelPtr(to_x, to_y), pixmap.PixelPtr(from_x, from_y), 4);
}

}  // namespace

// ---- TGLImageFrame ----

TGLImageFrame::~TGLImageFrame() {
    if (seq == 0) return;
    auto& s = State();
    if (seq == s.dead_generation) s.dead_textures.push_back(name);
    seq = 0;
}

namespace {

// The textured quad of source rectangle (sx, sy, sw, sh) at local corners (x0, y0), (x1, y1).
void TexturedQuad(const TGLImageFrame& frame, float x0, float y0, float x1, float y1, float tx,
                  float ty, float sx, float sy, float sw, float sh) {
    const float s0 = sx * frame.uscale;
    const float t0 = sy * frame.vscale;
    const float s1 = (sx + sw) * frame.uscale;
    const float t1 = (sy + sh) * frame.vscale;
    EnableTexturing(frame.name);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    TransformedVertex(x0, y0, tx, ty);
    glTexCoord2f(s1, t0);
    TransformedVertex(x1, y0, tx, ty);
    glTexCoord2f(s1, t1);
    TransformedVertex(x1, y1, tx, ty);
    glTexCoord2f(s0, t1);
    TransformedVertex(x0, y1, tx, ty);
    VEXEL_GL(glEnd());
}

// Columns per band of a wide frame drawn in bands.
constexpr int32_t kBandColumns = 128;

// A part of the source rectangle to draw: columns [sx0, sx1), rows [sy0, sy1); `core` when
// every texel its pixels read is opaque.
struct SourcePiece {
    float sx0, sx1, sy0, sy1;
    bool core;
};

// The pieces of the source rectangle that can change a pixel in a mode where clear texels
// change nothing: bands of columns side by side, each cut to the rows that its columns and
// the column on either side hold content in, one row more above and below. A pixel outside
// every piece samples only clear texels. Returns false when the pieces would save too little
// to be worth more than one quad.
bool ContentPieces(const TGLImageFrame& frame, float sx, float sy, float sw, float sh,
                   bool split_cores, std::vector<SourcePiece>& pieces) {
    pieces.clear();
    const float left = std::max(sx, static_cast<float>(std::max(frame.content_x0 - 1, 0)));
    const float right =
        std::min(sx + sw, static_cast<float>(std::min(frame.content_x1 + 1, frame.image_width)));
    float area = 0;
    const int32_t wide = frame.image_width >= 2 * kBandColumns ? kBandColumns : frame.image_width;
    for (float start = left; start < right;) {
        const float band_end =
            (std::floor(start / static_cast<float>(wide)) + 1) * static_cast<float>(wide);
        const float end = std::min(right, band_end);
        // The columns whose texels a pixel of this piece can read.
        const int32_t first = std::max(static_cast<int32_t>(std::floor(start)) - 1, 0);
        const int32_t last = std::min(static_cast<int32_t>(std::ceil(end)) + 1, frame.image_width);
        int32_t top = frame.image_height, bottom = 0;
        int32_t core_top = 0, core_bottom = frame.image_height;
        for (int32_t x = first; x < last; ++x) {
            const size_t i = static_cast<size_t>(x);
            core_top = std::max(core_top, frame.core_top[i]);
            core_bottom = std::min(core_bottom, frame.core_bottom[i]);
            if (frame.column_top[i] >= frame.column_bottom[i]) continue;
            top = std::min(top, frame.column_top[i]);
            bottom = std::max(bottom, frame.column_bottom[i]);
        }
        const float y0 = std::max(sy, static_cast<float>(top - 1));
        const float y1 = std::min(sy + sh, static_cast<float>(bottom + 1));
        if (top < bottom && y0 < y1) {
            area += (end - start) * (y1 - y0);
            // A pixel whose sample lies in rows [c0, c1) reads rows c0 - 1 to c1 at most.
            const float c0 = std::max(y0, static_cast<float>(core_top + 1));
            const float c1 = std::min(y1, static_cast<float>(core_bottom - 1));
            if (split_cores && c0 < c1) {
                if (y0 < c0) pieces.push_back({start, end, y0, c0, false});
                pieces.push_back({start, end, c0, c1, true});
                if (c1 < y1) pieces.push_back({start, end, c1, y1, false});
                area -= (end - start) * (c1 - c0) * 0.5f;  // unblended pixels cost less
            } else {
                pieces.push_back({start, end, y0, y1, false});
            }
        }
        start = end;
    }
    return area < 0.8f * sw * sh;
}

enum class ScissorUse { kNothingToDraw, kWholeQuad, kBox };

// The window box (x, y from the bottom, width, height) outside of which the frame's quad
// would sample only clear texels: the content box and one texel around it, through the
// current matrix and projection, widened by a pixel, within the viewport. kWholeQuad when
// the box would save too little (or the numbers are not finite).
ScissorUse ContentScissor(const TGLImageFrame& frame, float x0, float y0, float x1, float y1,
                          float tx, float ty, float sx, float sy, float sw, float sh,
                          int32_t box[4]) {
    const auto& s = State();
    const float a0 = std::max(sx, static_cast<float>(std::max(frame.content_x0 - 1, 0)));
    const float a1 =
        std::min(sx + sw, static_cast<float>(std::min(frame.content_x1 + 1, frame.image_width)));
    const float b0 = std::max(sy, static_cast<float>(std::max(frame.content_y0 - 1, 0)));
    const float b1 =
        std::min(sy + sh, static_cast<float>(std::min(frame.content_y1 + 1, frame.image_height)));
    if (a0 >= a1 || b0 >= b1) return ScissorUse::kNothingToDraw;
    const float kx = (x1 - x0) / sw, ky = (y1 - y0) / sh;
    const float to_x = static_cast<float>(s.view.width) / s.ortho_width;
    const float to_y = static_cast<float>(s.view.height) / s.ortho_height;
    const auto view_x = static_cast<float>(s.view.x);
    const auto view_y = static_cast<float>(s.view.y);
    // Window pixels (y downwards) of the corners of the source rectangle [u0, u1] × [v0, v1].
    const auto bounds = [&](float u0, float u1, float v0, float v1, float out[4]) {
        out[0] = out[1] = std::numeric_limits<float>::infinity();
        out[2] = out[3] = -std::numeric_limits<float>::infinity();
        for (const float u : {u0, u1}) {
            for (const float v : {v0, v1}) {
                const float lx = x0 + (u - sx) * kx, ly = y0 + (v - sy) * ky;
                const float px = view_x + (lx * s.ix + ly * s.iy + tx) * to_x;
                const float py = view_y + (lx * s.jx + ly * s.jy + ty) * to_y;
                out[0] = std::min(out[0], px), out[1] = std::min(out[1], py);
                out[2] = std::max(out[2], px), out[3] = std::max(out[3], py);
            }
        }
    };
    float content[4], whole[4];
    bounds(a0, a1, b0, b1, content);
    bounds(sx, sx + sw, sy, sy + sh, whole);
    for (const float v : {content[0], content[1], content[2], content[3]}) {
        if (!std::isfinite(v)) return ScissorUse::kWholeQuad;
    }
    // Within the window (and the viewport's box), a pixel wider on each side.
    int32_t limit[4] = {s.view.x, s.view.y, s.view.x + s.view.width,
                        s.view.y + s.view.height};  // left, top, right, bottom
    if (s.scissor) {
        limit[0] = s.scissor_box[0];
        limit[2] = s.scissor_box[0] + s.scissor_box[2];
        limit[1] = s.window_height - (s.scissor_box[1] + s.scissor_box[3]);
        limit[3] = s.window_height - s.scissor_box[1];
    }
    const auto clamp = [](float v, int32_t low, int32_t high) {
        return static_cast<int32_t>(
            std::clamp(v, static_cast<float>(low), static_cast<float>(high)));
    };
    const int32_t left = clamp(std::floor(content[0]) - 1, limit[0], limit[2]);
    const int32_t top = clamp(std::floor(content[1]) - 1, limit[1], limit[3]);
    const int32_t right = clamp(std::ceil(content[2]) + 1, limit[0], limit[2]);
    const int32_t bottom = clamp(std::ceil(content[3]) + 1, limit[1], limit[3]);
    if (left >= right || top >= bottom) return ScissorUse::kNothingToDraw;
    const float saved = static_cast<float>(right - left) * static_cast<float>(bottom - top);
    if (!(saved < 0.8f * (whole[2] - whole[0]) * (whole[3] - whole[1]))) {
        return ScissorUse::kWholeQuad;
    }
    box[0] = left;
    box[1] = s.window_height - bottom;
    box[2] = right - left;
    box[3] = bottom - top;
    return ScissorUse::kBox;
}

}  // namespace

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx,
                         float sy, float sw, float sh) {
    if (texel_scale != 1) {
        sx *= texel_scale;
        sy *= texel_scale;
        sw *= texel_scale;
        sh *= texel_scale;
    }
    const auto& s = State();
    const auto width = static_cast<float>(image_width);
    const auto height = static_cast<float>(image_height);
    const bool inside =
        sx >= 0 && sy >= 0 && sw > 0 && sh > 0 && sx + sw <= width && sy + sh <= height;
    // Blended by its own alpha under an opaque colour, an opaque texel replaces the pixel.
    const bool replaces = s.blend == BlendAlpha && s.color[3] == 255 && inside && !mipmapped;
    UseBlending(ModeBlends(s.blend) && !(replaces && opaque));
    // Pieces get texture coordinates interpolated across their own corners. Unturned, that
    // gives every pixel the value the whole quad gives it; turned, the last bit can differ
    // and with it a filtered pixel, so a turned frame is drawn whole.
    const bool unturned = s.iy == 0 && s.jx == 0;
    // An opaque frame has no clear texels to leave out, so it is drawn whole at once.
    if (inside && !opaque && !unturned && !mipmapped && ClearTexelsChangeNothing(s.blend)) {
        // Turned, the whole quad is drawn with its own corners, but only inside the window
        // box around the content, where a scissor box leaves the rasteriser nothing to do.
        if (content_x0 >= content_x1) return;
        int32_t box[4];
        switch (ContentScissor(*this, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh, box)) {
            case ScissorUse::kNothingToDraw:
                return;
            case ScissorUse::kWholeQuad:
                break;
            case ScissorUse::kBox:
                VEXEL_GL(glEnable(GL_SCISSOR_TEST));
                VEXEL_GL(glScissor(box[0], box[1], box[2], box[3]));
                TexturedQuad(*this, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
                if (s.scissor) {
                    VEXEL_GL(glScissor(s.scissor_box[0], s.scissor_box[1], s.scissor_box[2],
                                       s.scissor_box[3]));
                } else {
                    VEXEL_GL(glDisable(GL_SCISSOR_TEST));
                }
                return;
        }
    }
    if (inside && !opaque && unturned && !mipmapped && ClearTexelsChangeNothing(s.blend)) {
        static std::vector<SourcePiece> pieces;
        const bool worth = ContentPieces(*this, sx, sy, sw, sh, replaces, pieces);
        if (pieces.empty()) return;  // nothing but clear texels
        if (worth) {
            // The pieces do not overlap, so their order does not matter: the opaque cores
            // first, unblended, then the rest.
            const float kx = (x1 - x0) / sw, ky = (y1 - y0) / sh;
            for (const bool core : {true, false}) {
                for (const SourcePiece& p : pieces) {
                    if (p.core != core) continue;
                    UseBlending(ModeBlends(s.blend) && !(replaces && core));
                    TexturedQuad(*this, x0 + (p.sx0 - sx) * kx, y0 + (p.sy0 - sy) * ky,
                                 x0 + (p.sx1 - sx) * kx, y0 + (p.sy1 - sy) * ky, tx, ty, p.sx0,
                                 p.sy0, p.sx1 - p.sx0, p.sy1 - p.sy0);
                }
            }
            return;
        }
    }
    TexturedQuad(*this, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(const PixmapPtr& pixmap,
                                                               int32_t flags) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
    int32_t texture_width = pixmap->width;
    int32_t texture_height = pixmap->height;
    FitGLTextureSize(texture_width, texture_height);
    const int32_t w = std::min(pixmap->width, texture_width);
    const int32_t h = std::min(pixmap->height, texture_height);
    PixmapPtr source = pixmap;
    if (w != pixmap->width || h != pixmap->height) source = ScalePixmap(*pixmap, w, h);

    PixmapPtr upload;
    if (w < texture_width || h < texture_height) {
        upload = NewPixmap(texture_width, texture_height, PIXEL_RGBA32, 4);
        upload->ClearPixels(0);
        upload->Paste(*source, 0, 0);
        // Repeat the last column and row once so that filtering at the image's edge reads
        // image texels rather than the empty rest of the texture.
        if (w < texture_width) {
            for (int32_t y = 0; y < h; ++y)
                CopyPixel(*upload, w - 1, y, w, y);
        }
        if (h < texture_height) {
            for (int32_t x = 0; x < w; ++x)
                CopyPixel(*upload, x, h - 1, x, h);
        }
        if (w < texture_width && h < texture_height) CopyPixel(*upload, w - 1, h - 1, w, h);
    } else {
        upload = AsRGBA(source);
    }

    auto frame = std::make_shared<TGLImageFrame>();
    frame->image_width = w;
    frame->image_height = h;
    frame->mipmapped = (flags & ImageFlagMipmapped) != 0;
    MeasureContent(*upload, w, h, *frame);
    frame->name = CreateTexture(texture_width, texture_height, flags);
    UploadTextureLevels(*upload, (flags & ImageFlagMipmapped) != 0);
    frame->seq = GraphicsGeneration();
    frame->uscale = 1.0f / static_cast<float>(texture_width);
    frame->vscale = 1.0f / static_cast<float>(texture_height);
    frame->u1 = static_cast<float>(w) * frame->uscale;
    frame->v1 = static_cast<float>(h) * frame->vscale;
    return frame;
}

// ---- TGLVex2DDriver ----

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
    return TGLImageFrame::CreateFromPixmap(pixmap, flags);
}

std::shared_ptr<TImageFrame> TGLVex2DDriver::CreateDetailedFrame(const PixmapPtr& pixmap,
                                                                 int32_t flags,
                                                                 int32_t texels_per_pixel) {
    auto frame = TGLImageFrame::CreateFromPixmap(pixmap, flags);
    if (frame) frame->texel_scale = static_cast<float>(texels_per_pixel);
    return frame;
}

void TGLVex2DDriver::SetBlend(int32_t blend) {
    auto& s = State();
    if (blend == s.blend) return;
    s.blend = blend;
    SetBlending(ModeBlends(blend));
    switch (blend) {
        case BlendMask:
            VEXEL_GL(glEnable(GL_ALPHA_TEST));
            VEXEL_GL(glAlphaFunc(GL_GEQUAL, 0.5f));
            break;
        case BlendAlpha:
            VEXEL_GL(glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        case BlendLight:
            VEXEL_GL(glBlendFunc(GL_SRC_ALPHA, GL_ONE));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        case BlendShade:
            VEXEL_GL(glBlendFunc(GL_DST_COLOR, GL_ZERO));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        default:  // BlendSolid and anything unknown
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
    }
}

void TGLVex2DDriver::SetAlpha(float alpha) {
    auto& s = State();
    s.color[3] = static_cast<GLubyte>(Clamp01(alpha) * 255.0f);
    VEXEL_GL(glColor4ubv(s.color));
}

void TGLVex2DDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = State();
    s.color[0] = ClampByte(red);
    s.color[1] = ClampByte(green);
    s.color[2] = ClampByte(blue);
    VEXEL_GL(glColor4ubv(s.color));
}

void TGLVex2DDriver::SetClsColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = State();
    s.clear_color[0] = ClampByte(red) / 255.0f;
    s.clear_color[1] = ClampByte(green) / 255.0f;
    s.clear_color[2] = ClampByte(blue) / 255.0f;
    VEXEL_GL(glClearColor(s.clear_color[0], s.clear_color[1], s.clear_color[2], 1.0f));
}

namespace {

// A logical coordinate as a window pixel edge of the view.
int32_t ViewPixel(float logical, int32_t offset, float scale) {
    if (scale == 1) return offset + static_cast<int32_t>(logical);
    return offset + static_cast<int32_t>(std::lround(logical * scale));
}

void Scissor(const GLint box[4]) {
    VEXEL_GL(glScissor(box[0], box[1], box[2], box[3]));
}

}  // namespace

void TGLVex2DDriver::SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    auto& s = State();
    if (x == 0 && y == 0 && width == CurrentGraphicsWidth() && height == CurrentGraphicsHeight()) {
        VEXEL_GL(glDisable(GL_SCISSOR_TEST));
        s.scissor = false;
        return;
    }
    const GraphicsView& v = s.view;
    const int32_t left = ViewPixel(static_cast<float>(x), v.x, v.scale);
    const int32_t right =
        ViewPixel(static_cast<float>(x) + static_cast<float>(width), v.x, v.scale);
    const int32_t top = ViewPixel(static_cast<float>(y), v.y, v.scale);
    const int32_t bottom =
        ViewPixel(static_cast<float>(y) + static_cast<float>(height), v.y, v.scale);
    VEXEL_GL(glEnable(GL_SCISSOR_TEST));
    s.scissor = true;
    s.scissor_box[0] = left;
    s.scissor_box[1] = s.window_height - bottom;
    s.scissor_box[2] = right - left;
    s.scissor_box[3] = bottom - top;
    Scissor(s.scissor_box);
}

void TGLVex2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    auto& s = State();
    s.ix = ix;
    s.iy = iy;
    s.jx = jx;
    s.jy = jy;
}

void TGLVex2DDriver::SetLineWidth(float width) {
    // In window pixels, of which a logical pixel is view.scale wide.
    const float scale = State().view.scale;
    if (scale != 1) width *= scale;
    VEXEL_GL(glLineWidth(width));
}

void TGLVex2DDriver::Cls() {
    auto& s = State();
    if (!s.letterboxed) {
        VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
        return;
    }
    // The clear colour fills the view (within the drawing viewport), the bars around it stay
    // black.
    const GraphicsView& v = s.view;
    const GLint view_box[4] = {v.x, s.window_height - v.y - v.height, v.width, v.height};
    VEXEL_GL(glEnable(GL_SCISSOR_TEST));
    if (!s.scissor) Scissor(view_box);
    VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
    VEXEL_GL(glClearColor(0, 0, 0, 1));
    const GLint bars[4][4] = {
        {0, 0, v.x, s.window_height},
        {v.x + v.width, 0, s.window_width - v.x - v.width, s.window_height},
        {0, 0, s.window_width, s.window_height - v.y - v.height},
        {0, s.window_height - v.y, s.window_width, v.y},
    };
    for (const auto& bar : bars) {
        if (bar[2] <= 0 || bar[3] <= 0) continue;
        Scissor(bar);
        VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
    }
    VEXEL_GL(glClearColor(s.clear_color[0], s.clear_color[1], s.clear_color[2], 1.0f));
    if (s.scissor) {
        Scissor(s.scissor_box);
    } else {
        VEXEL_GL(glDisable(GL_SCISSOR_TEST));
    }
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
    const int32_t blend = State().blend;
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
    const int32_t blend = State().blend;
    SetBlend(BlendSolid);
    const GraphicsView& v = State().view;
    if (v.scale != 1 || v.x != 0 || v.y != 0) {
        // The window pixels under the logical rectangle, brought to its logical size.
        const int32_t left = ViewPixel(static_cast<float>(x), v.x, v.scale);
        const int32_t top = ViewPixel(static_cast<float>(y), v.y, v.scale);
        const int32_t w =
            std::max(1, ViewPixel(static_cast<float>(x + width), v.x, v.scale) - left);
        const int32_t h =
            std::max(1, ViewPixel(static_cast<float>(y + height), v.y, v.scale) - top);
        const PixmapPtr pixels = NewPixmap(w, h, PIXEL_RGBA32, 4);
        VEXEL_GL(glPixelStorei(GL_PACK_ROW_LENGTH, pixels->pitch / 4));
        VEXEL_GL(glReadPixels(left, State().window_height - top - h, w, h, GL_RGBA,
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
    s.blend = 0;
    s.blending = false;
    s.window_width = surface_width;
    s.window_height = surface_height;
    s.view = FitGraphicsView(width, height, surface_width, surface_height);
    s.letterboxed = s.view.width != surface_width || s.view.height != surface_height;
    s.bound_texture = 0;
    s.texturing = false;
    VEXEL_GL(glDisable(GL_TEXTURE_2D));
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

GLVex2DCaches CurrentGLVex2DCaches() {
    const auto& s = State();
    return {s.blend, s.bound_texture, s.texturing};
}

}  // namespace vexel
