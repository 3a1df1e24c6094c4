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
// One corner of a textured quad: texture coordinates, then the vertex in drawing units.
struct QuadCorner {
    float s, t, x, y;
};

// A textured quad recorded for the next submission, with the state it is drawn in.
struct PendingQuad {
    GLuint texture;
    int32_t blend;
    bool blending;
    GLubyte color[4];
    // The scissor box in force for it (GL's window coordinates), when one is.
    bool scissor;
    GLint scissor_box[4];
    // Corners in the order drawn: (s0, t0), (s1, t0), (s1, t1), (s0, t1).
    QuadCorner corners[4];
    // Drawn unturned: its edges follow the window's axes.
    bool unturned;
    // Its texture is filtered linearly, and the quad samples it at texel centres, one texel
    // a window pixel: then it is drawn with nearest filtering, which reads the same texel.
    bool texel_centres;
};

struct GLDriverState {
    // The blend mode of the 2-D layer, and the one whose blend function and alpha test GL
    // has; they differ only while quads drawn in the latter wait for submission.
    int32_t blend = 0;
    int32_t gl_blend = 0;
    // Whether GL_BLEND is on. It follows the blend mode except while opaque frames are drawn
    // in BlendAlpha, and goes back to the mode's setting before anything else is drawn.
    bool blending = false;
    GLuint bound_texture = 0;
    bool texturing = false;
    float ix = 0, iy = 0, jx = 0, jy = 0;
    // The projection's size and the window's, for turning drawing units into pixels. The
    // "window" here is the view: the part of the surface the logical frame is shown in (the
    // whole surface unless the window is scaled to a monitor with bars), and window pixels,
    // scissor boxes and the coverage of a submission are counted from its corner.
    float ortho_width = 1, ortho_height = 1;
    int32_t window_width = 0, window_height = 0;
    GraphicsView view;
    int32_t surface_width = 0, surface_height = 0;
    bool letterboxed = false;  // bars beside or above the view
    float point_size = 1;
    GLfloat clear_color[3] = {0, 0, 0};
    // The viewport's scissor box (x, y from the bottom, width, height) when it is on.
    bool scissor = false;
    GLint scissor_box[4] = {0, 0, 0, 0};
    GLubyte color[4] = {0, 0, 0, 0};
    std::vector<GLuint> dead_textures;
    int32_t dead_generation = 0;
    // Image quads drawn since the last submission, oldest first.
    std::vector<PendingQuad> pending;
    // Linearly filtered textures switched to nearest filtering during a submission, which
    // switches them back at its end.
    std::vector<GLuint> nearest_textures;
    // The colour and scissor state GL has (the colour unknown when not `gl_color_known`),
    // which differ from the layer's only while a submission draws recorded quads.
    bool gl_color_known = false;
    GLubyte gl_color[4] = {0, 0, 0, 0};
    bool gl_scissor = false;
    GLint gl_scissor_box[4] = {0, 0, 0, 0};
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

void SubmitPending();

// For drawing other than image quads, which the quads drawn before go ahead of.
void DisableTexturing() {
    SubmitPending();
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

void SendBlendMode(int32_t blend);
void SubmitPending();

// Before drawing anything but an image quad: the quads waiting go first, then GL gets the
// current mode's blend state.
void RestoreBlending() {
    SubmitPending();
    SendBlendMode(State().blend);
}

// The blend function and alpha test of `blend`, and blending on as the mode has it.
void SendBlendMode(int32_t blend) {
    auto& s = State();
    if (blend == s.gl_blend) return UseBlending(ModeBlends(blend));
    SetBlending(ModeBlends(blend));
    s.gl_blend = blend;
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
    // Recorded quads may name a texture about to be deleted, and binding changes below.
    SubmitPending();
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

// The image (RGBA) at the top left of a texture_width × texture_height pixmap whose other
// texels are clear, but for the image's last column and row repeated once beside it.
PixmapPtr PaddedWithClearTexels(const TPixmap& image, int32_t texture_width,
                                int32_t texture_height) {
    const int32_t w = image.width, h = image.height;
    PixmapPtr upload = NewPixmap(texture_width, texture_height, PIXEL_RGBA32, 4);
    upload->Paste(image, 0, 0);
    // Only the texels the image leaves free are cleared: right of it, then below.
    const auto right_bytes = static_cast<size_t>(texture_width - w) * 4;
    for (int32_t y = 0; right_bytes > 0 && y < h; ++y)
        std::memset(upload->PixelPtr(w, y), 0, right_bytes);
    for (int32_t y = h; y < texture_height; ++y)
        std::memset(upload->PixelPtr(0, y), 0, static_cast<size_t>(texture_width) * 4);
    if (w < texture_width) {
        for (int32_t y = 0; y < h; ++y)
            CopyPixel(*upload, w - 1, y, w, y);
    }
    if (h < texture_height) {
        for (int32_t x = 0; x < w; ++x)
            CopyPixel(*upload, x, h - 1, x, h);
    }
    if (w < texture_width && h < texture_height) CopyPixel(*upload, w - 1, h - 1, w, h);
    return upload;
}

// Into level 0 of the bound texture, which is larger than the RGBA image at its top left:
// the image's last column and row once more beside it (and its corner texel diagonally), so
// that filtering at the image's edge reads image texels. A texture without smaller levels
// is never sampled further out than that, so the rest of it is left as allocated.
void UploadRepeatedEdges(const TPixmap& rgba, int32_t texture_width, int32_t texture_height) {
    const int32_t w = rgba.width, h = rgba.height;
    const bool column = w < texture_width, row = h < texture_height;
    // The column below the image's right edge reaches the corner when there is a row too.
    std::vector<uint32_t> edge(static_cast<size_t>(std::max(w, h) + 1));
    if (column) {
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(&edge[static_cast<size_t>(y)], rgba.PixelPtr(w - 1, y), 4);
        if (row) edge[static_cast<size_t>(h)] = edge[static_cast<size_t>(h - 1)];
        VEXEL_GL(glTexSubImage2D(GL_TEXTURE_2D, 0, w, 0, 1, row ? h + 1 : h, GL_RGBA,
                                 GL_UNSIGNED_BYTE, edge.data()));
    }
    if (row) {
        VEXEL_GL(glTexSubImage2D(GL_TEXTURE_2D, 0, 0, h, w, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                                 rgba.PixelPtr(0, h - 1)));
    }
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

// Where quads may be cut along one axis: `scale` window pixels make a drawing unit, and a
// window position that is a multiple of `step` pixels is an exact number of drawing units.
// That holds when the scale is an odd number times a power of two (the step is the odd
// number: one pixel at a power-of-two scale, three at scale 3, fifteen at 1.875); cuts are
// left out (a step of 0) otherwise, or when the grid would be too coarse to save anything.
struct CutAxis {
    float scale = 0;
    int32_t step = 0;
};

CutAxis CutAxisOf(int32_t pixels, float units) {
    const float scale = static_cast<float>(pixels) / units;
    if (!std::isfinite(scale) || !(scale > 0) ||
        static_cast<double>(scale) * units != static_cast<double>(pixels)) {
        return {};
    }
    int exponent = 0;
    constexpr int kMantissaBits = std::numeric_limits<float>::digits;
    auto odd = static_cast<uint32_t>(std::ldexp(std::frexp(scale, &exponent), kMantissaBits));
    while (odd % 2 == 0)
        odd /= 2;
    constexpr uint32_t kCoarsestStep = 16;
    if (odd > kCoarsestStep) return {};
    return {scale, static_cast<int32_t>(odd)};
}

// Whether every window pixel of the unturned quad from corner `a` to the opposite corner `b`
// samples its texture at a texel's centre, one texel a pixel along both axes: the window's
// scale must be exact, and at pixel centre p + 1/2 the texel coordinate t_a ± (p + 1/2 - p_a)
// is a centre when t_a ∓ p_a is whole. There linear filtering gives a texel whole, so
// nearest filtering, which costs less, reads the same.
bool SamplesTexelCentres(const QuadCorner& a, const QuadCorner& b, const TGLImageFrame& frame) {
    const auto& s = State();
    const CutAxis along_x = CutAxisOf(s.window_width, s.ortho_width);
    const CutAxis along_y = CutAxisOf(s.window_height, s.ortho_height);
    if (along_x.step == 0 || along_y.step == 0) return false;
    const auto one_to_one = [](double pa, double pb, double ta, double tb) {
        const double pixels = pb - pa, texels = tb - ta;
        if (!(pixels != 0 && std::fabs(texels) == std::fabs(pixels))) return false;
        const double offset = texels == pixels ? ta - pa : ta + pa;
        return std::floor(offset) == offset;
    };
    const double width = 1.0 / frame.uscale, height = 1.0 / frame.vscale;
    return one_to_one(a.x * static_cast<double>(along_x.scale),
                      b.x * static_cast<double>(along_x.scale), a.s * width, b.s * width) &&
           one_to_one(a.y * static_cast<double>(along_y.scale),
                      b.y * static_cast<double>(along_y.scale), a.t * height, b.t * height);
}

// Records the textured quad of source rectangle (sx, sy, sw, sh) at local corners (x0, y0),
// (x1, y1), drawn with blending `blending` and, when `box` is given, only inside that
// scissor box (which lies within the viewport's).
void TexturedQuad(const TGLImageFrame& frame, bool blending, const GLint* box, float x0, float y0,
                  float x1, float y1, float tx, float ty, float sx, float sy, float sw, float sh) {
    auto& s = State();
    const float s0 = sx * frame.uscale;
    const float t0 = sy * frame.vscale;
    const float s1 = (sx + sw) * frame.uscale;
    const float t1 = (sy + sh) * frame.vscale;
    const auto corner = [&](float u, float v, float x, float y) {
        return QuadCorner{u, v, x * s.ix + y * s.iy + tx, x * s.jx + y * s.jy + ty};
    };
    PendingQuad quad{};
    quad.texture = frame.name;
    quad.blend = s.blend;
    quad.blending = blending;
    std::copy_n(s.color, 4, quad.color);
    quad.scissor = box != nullptr || s.scissor;
    std::copy_n(box ? box : s.scissor_box, 4, quad.scissor_box);
    quad.corners[0] = corner(s0, t0, x0, y0);
    quad.corners[1] = corner(s1, t0, x1, y0);
    quad.corners[2] = corner(s1, t1, x1, y1);
    quad.corners[3] = corner(s0, t1, x0, y1);
    quad.unturned = s.iy == 0 && s.jx == 0;
    quad.texel_centres = frame.filtered && !frame.mipmapped && quad.unturned &&
                         SamplesTexelCentres(quad.corners[0], quad.corners[2], frame);
    s.pending.push_back(quad);
    // A program that draws on and on without showing a frame still sends its quads.
    constexpr size_t kMostPending = 4096;
    if (s.pending.size() >= kMostPending) SubmitPending();
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
// A frame made from a high-resolution picture is cut only between whole image pixels (every
// texel_scale texels), where a piece's corners are exact drawing coordinates, as cuts of
// what later quads cover need: its content is widened out to them and its cores narrowed in.
bool ContentPieces(const TGLImageFrame& frame, float sx, float sy, float sw, float sh,
                   bool split_cores, std::vector<SourcePiece>& pieces) {
    pieces.clear();
    const float unit = frame.texel_scale >= 1 && std::floor(frame.texel_scale) == frame.texel_scale
                           ? frame.texel_scale
                           : 1;
    const auto down = [unit](int32_t texel) {
        return std::floor(static_cast<float>(texel) / unit) * unit;
    };
    const auto up = [unit](int32_t texel) {
        return std::ceil(static_cast<float>(texel) / unit) * unit;
    };
    const float left = std::max(sx, down(std::max(frame.content_x0 - 1, 0)));
    const float right = std::min(sx + sw, up(std::min(frame.content_x1 + 1, frame.image_width)));
    float area = 0;
    const int32_t band = kBandColumns - kBandColumns % static_cast<int32_t>(unit);
    const int32_t wide = frame.image_width >= 2 * kBandColumns ? band : frame.image_width;
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
        const float y0 = std::max(sy, down(top - 1));
        const float y1 = std::min(sy + sh, up(bottom + 1));
        if (top < bottom && y0 < y1) {
            area += (end - start) * (y1 - y0);
            // A pixel whose sample lies in rows [c0, c1) reads rows c0 - 1 to c1 at most.
            const float c0 = std::max(y0, up(core_top + 1));
            const float c1 = std::min(y1, down(core_bottom - 1));
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
    const float to_x = static_cast<float>(s.window_width) / s.ortho_width;
    const float to_y = static_cast<float>(s.window_height) / s.ortho_height;
    // Window pixels (y downwards) of the corners of the source rectangle [u0, u1] × [v0, v1].
    const auto bounds = [&](float u0, float u1, float v0, float v1, float out[4]) {
        out[0] = out[1] = std::numeric_limits<float>::infinity();
        out[2] = out[3] = -std::numeric_limits<float>::infinity();
        for (const float u : {u0, u1}) {
            for (const float v : {v0, v1}) {
                const float lx = x0 + (u - sx) * kx, ly = y0 + (v - sy) * ky;
                const float px = (lx * s.ix + ly * s.iy + tx) * to_x;
                const float py = (lx * s.jx + ly * s.jy + ty) * to_y;
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
    int32_t limit[4] = {0, 0, s.window_width, s.window_height};  // left, top, right, bottom
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

// ---- Submission ----

// An unturned quad's rectangle in window pixels (y downwards): corners 0 and 2 are opposite.
struct WindowRect {
    float left, top, right, bottom;
};

WindowRect RectOf(const PendingQuad& quad, float to_x, float to_y) {
    const float xa = quad.corners[0].x * to_x, xb = quad.corners[2].x * to_x;
    const float ya = quad.corners[0].y * to_y, yb = quad.corners[2].y * to_y;
    return {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
}

// Per window column, the rows [top, bottom) that quads later in the frame replace whole,
// kept as one run a column (of two runs that do not touch, the longer).
class Coverage {
  public:
    void Reset(int32_t width, int32_t height) {
        width_ = width;
        height_ = height;
        top_.assign(static_cast<size_t>(std::max(width, 0)), 0);
        bottom_.assign(static_cast<size_t>(std::max(width, 0)), 0);
    }
    int32_t Width() const { return width_; }
    int32_t Top(int32_t column) const { return top_[static_cast<size_t>(column)]; }
    int32_t Bottom(int32_t column) const { return bottom_[static_cast<size_t>(column)]; }

    // A quad drawn with blending off and no alpha test writes every pixel whose centre it
    // covers, whatever was there. Pixels whose centre lies within a 64th of a pixel of an
    // edge are left out, as the rasteriser may snap the edge either way.
    void AddReplacing(const PendingQuad& quad, float to_x, float to_y) {
        const WindowRect r = RectOf(quad, to_x, to_y);
        if (!(std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.top) &&
              std::isfinite(r.bottom))) {
            return;
        }
        constexpr float kEdge = 1.0f / 64;
        const auto first_centre = [](float edge) {
            return std::floor(edge + kEdge - 0.5f) + 1;  // first pixel whose centre is inside
        };
        const auto end_centre = [](float edge) { return std::ceil(edge - kEdge - 0.5f); };
        float c0 = std::max(first_centre(r.left), 0.0f);
        float c1 = std::min(end_centre(r.right), static_cast<float>(width_));
        float r0 = std::max(first_centre(r.top), 0.0f);
        float r1 = std::min(end_centre(r.bottom), static_cast<float>(height_));
        if (quad.scissor) {
            const GLint* box = quad.scissor_box;
            c0 = std::max(c0, static_cast<float>(box[0]));
            c1 = std::min(c1, static_cast<float>(box[0] + box[2]));
            r0 = std::max(r0, static_cast<float>(height_ - (box[1] + box[3])));
            r1 = std::min(r1, static_cast<float>(height_ - box[1]));
        }
        if (!(c0 < c1 && r0 < r1)) return;
        const auto top = static_cast<int32_t>(r0), bottom = static_cast<int32_t>(r1);
        for (auto c = static_cast<int32_t>(c0); c < static_cast<int32_t>(c1); ++c) {
            auto& t = top_[static_cast<size_t>(c)];
            auto& b = bottom_[static_cast<size_t>(c)];
            if (t < b && top <= b && bottom >= t) {
                t = std::min(t, top), b = std::max(b, bottom);
            } else if (t >= b || bottom - top > b - t) {
                t = top, b = bottom;
            }
        }
    }

  private:
    int32_t width_ = 0, height_ = 0;
    std::vector<int32_t> top_, bottom_;
};

// GL's scissor test and box as a quad or the viewport needs them.
// glScissor of a box in view pixels (y from the view's bottom).
void ScissorInView(const GLint box[4]) {
    const auto& s = State();
    const GLint left = s.view.x;
    const GLint bottom = s.surface_height - s.view.y - s.view.height;
    VEXEL_GL(glScissor(box[0] + left, box[1] + bottom, box[2], box[3]));
}

void SendScissor(bool on, const GLint box[4]) {
    auto& s = State();
    if (on && (!s.gl_scissor || !std::equal(box, box + 4, s.gl_scissor_box))) {
        ScissorInView(box);
        std::copy_n(box, 4, s.gl_scissor_box);
    }
    if (on != s.gl_scissor) {
        if (on) {
            VEXEL_GL(glEnable(GL_SCISSOR_TEST));
        } else {
            VEXEL_GL(glDisable(GL_SCISSOR_TEST));
        }
        s.gl_scissor = on;
    }
}

void SetFilter(GLint filter) {
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter));
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter));
}

// The bound texture, `name`, filtered nearest when `nearest`, else as it was made (a texture
// made filtered goes back to linear filtering).
void FilterNearest(GLuint name, bool nearest) {
    auto& list = State().nearest_textures;
    const auto found = std::find(list.begin(), list.end(), name);
    if ((found != list.end()) == nearest) return;
    SetFilter(nearest ? GL_NEAREST : GL_LINEAR);
    if (nearest) {
        list.push_back(name);
    } else {
        list.erase(found);
    }
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
        auto& s = State();
        EnableTexturing(quad.texture);
        FilterNearest(quad.texture, quad.texel_centres);
        SendBlendMode(quad.blend);
        UseBlending(quad.blending);
        if (!s.gl_color_known || !std::equal(quad.color, quad.color + 4, s.gl_color)) {
            VEXEL_GL(glColor4ubv(quad.color));
            std::copy_n(quad.color, 4, s.gl_color);
            s.gl_color_known = true;
        }
        SendScissor(quad.scissor, quad.scissor_box);
    }

    bool open_ = false;
    const PendingQuad* state_ = nullptr;
};

// The part of quad `quad` (unturned) between window columns [left, right) and rows
// [top, bottom), which lie within its rectangle: corners in the quad's own order, texture
// coordinates where the quad has them there. False when a coordinate cannot be had exactly.
bool CutCorners(const PendingQuad& quad, float to_x, float to_y, float left, float top, float right,
                float bottom, QuadCorner (&out)[4]) {
    const QuadCorner& a = quad.corners[0];
    const QuadCorner& b = quad.corners[2];
    // Along one axis: the drawing coordinate and texture coordinate at window position p,
    // the corners' own values at their own positions.
    const auto along = [](float p, float scale, float pa, float ta, float pb, float tb,
                          float& position, float& texture) {
        if (p == pa * scale) {
            position = pa, texture = ta;
            return true;
        }
        if (p == pb * scale) {
            position = pb, texture = tb;
            return true;
        }
        position = p / scale;
        const double exact = static_cast<double>(ta) + (static_cast<double>(position) - pa) *
                                                           (static_cast<double>(tb) - ta) /
                                                           (static_cast<double>(pb) - pa);
        texture = static_cast<float>(exact);
        return static_cast<double>(texture) == exact &&
               static_cast<double>(position) * scale == static_cast<double>(p);
    };
    // The a side of the quad is where corner 0 lies.
    const bool a_left = a.x <= b.x, a_top = a.y <= b.y;
    float xa, sa, xb, sb, ya, ta, yb, tb;
    if (!along(a_left ? left : right, to_x, a.x, a.s, b.x, b.s, xa, sa) ||
        !along(a_left ? right : left, to_x, a.x, a.s, b.x, b.s, xb, sb) ||
        !along(a_top ? top : bottom, to_y, a.y, a.t, b.y, b.t, ya, ta) ||
        !along(a_top ? bottom : top, to_y, a.y, a.t, b.y, b.t, yb, tb)) {
        return false;
    }
    out[0] = {sa, ta, xa, ya};
    out[1] = {sb, ta, xb, ya};
    out[2] = {sb, tb, xb, yb};
    out[3] = {sa, tb, xa, yb};
    return true;
}

// One window column's visible rows of a quad: up to two runs, [r[0], r[1]) and [r[2], r[3]),
// as window rows, with the quad's own edges where it is not cut.
struct VisibleRows {
    float r[4];
    bool operator==(const VisibleRows&) const = default;
};

// What to draw of an unturned quad given what later quads replace: the whole quad (kWhole,
// also when a cut cannot be made exactly), or the pieces appended to `pieces` (kPieces, none
// when it is covered everywhere), cut at the axes' steps into runs of columns that share
// their visible rows. Where a step is more than one pixel, a cell of that many columns is
// cut to the rows that all its columns have covered, rounded inwards to the row step: the
// quad is drawn over a little of what a later quad replaces, which that quad paints over.
enum class Uncovered { kWhole, kPieces };

Uncovered CollectUncovered(const PendingQuad& quad, const Coverage& coverage, CutAxis along_x,
                           CutAxis along_y, std::vector<std::pair<VisibleRows, float>>& runs,
                           std::vector<QuadCorner>& pieces) {
    const float to_x = along_x.scale, to_y = along_y.scale;
    const WindowRect r = RectOf(quad, to_x, to_y);
    constexpr float kFar = 1e6f;  // beyond this, whole pixels are no longer exact floats
    if (!(std::fabs(r.left) < kFar && std::fabs(r.right) < kFar && std::fabs(r.top) < kFar &&
          std::fabs(r.bottom) < kFar)) {
        return Uncovered::kWhole;
    }
    // A quad whose corners lie between the rasteriser's sixty-fourths of a pixel is drawn
    // whole: the rounding of its plane equations differs from piece to piece, which can move
    // a filtered pixel by one step.
    const auto fine = [](float corner, float scale) {
        const double sixty_fourths = static_cast<double>(corner) * scale * 64;
        return std::floor(sixty_fourths) == sixty_fourths;
    };
    if (!fine(quad.corners[0].x, to_x) || !fine(quad.corners[2].x, to_x) ||
        !fine(quad.corners[0].y, to_y) || !fine(quad.corners[2].y, to_y)) {
        return Uncovered::kWhole;
    }
    const auto first = static_cast<int32_t>(std::max(std::floor(r.left), 0.0f));
    const auto end =
        static_cast<int32_t>(std::min(std::ceil(r.right), static_cast<float>(coverage.Width())));
    const int32_t step = along_x.step, row_step = along_y.step;
    // Cell by cell, what is left after the covered rows; runs of equal cells merged.
    runs.clear();
    bool cut = false;
    for (int32_t cell = first - first % step; cell < end; cell += step) {
        const int32_t from = std::max(cell, first), to = std::min(cell + step, end);
        int32_t covered_top = coverage.Top(from), covered_bottom = coverage.Bottom(from);
        for (int32_t c = from + 1; c < to; ++c) {
            covered_top = std::max(covered_top, coverage.Top(c));
            covered_bottom = std::min(covered_bottom, coverage.Bottom(c));
        }
        const auto top = static_cast<float>((covered_top + row_step - 1) / row_step * row_step);
        const auto bottom = static_cast<float>(covered_bottom / row_step * row_step);
        VisibleRows rows{{r.top, r.bottom, 0, 0}};
        if (top < bottom && top < r.bottom && bottom > r.top) {
            cut = true;
            rows.r[1] = std::max(r.top, top);
            rows.r[2] = std::min(r.bottom, bottom);
            rows.r[3] = r.bottom;
            if (rows.r[2] >= rows.r[3]) rows.r[2] = rows.r[3] = 0;
        }
        if (runs.empty() || !(runs.back().first == rows))
            runs.emplace_back(rows, static_cast<float>(cell));
    }
    if (!cut) return Uncovered::kWhole;
    const size_t kept = pieces.size();
    for (size_t i = 0; i < runs.size(); ++i) {
        const float left = i == 0 ? r.left : runs[i].second;
        const float right = i + 1 < runs.size() ? runs[i + 1].second : r.right;
        const VisibleRows& rows = runs[i].first;
        for (int part = 0; part < 2; ++part) {
            const float top = rows.r[2 * part], bottom = rows.r[2 * part + 1];
            if (!(top < bottom) || !(left < right)) continue;
            QuadCorner corners[4];
            if (!CutCorners(quad, to_x, to_y, left, top, right, bottom, corners)) {
                pieces.resize(kept);
                return Uncovered::kWhole;
            }
            pieces.insert(pieces.end(), corners, corners + 4);
        }
    }
    return Uncovered::kPieces;
}

// Working storage of submissions and of frames drawn in pieces, kept so that its buffers are
// reused. Never destroyed, like the driver's state: a program that returns from main with
// quads recorded has them submitted by the exit handler that closes its window, which runs
// after the statics made since that handler was added have gone.
struct Scratch {
    // Per quad, where its pieces start in `pieces` and how many corners they have; a count
    // of -1 draws the quad whole.
    std::vector<std::pair<size_t, ptrdiff_t>> cut;
    std::vector<QuadCorner> pieces;
    std::vector<std::pair<VisibleRows, float>> runs;
    Coverage coverage;
    // The pieces of one frame drawn without its clear texels.
    std::vector<SourcePiece> frame_pieces;
};

Scratch& TheScratch() {
    static Scratch* const scratch = new Scratch;
    return *scratch;
}

// Draws the recorded quads in order, leaving out what a later quad replaces: going back
// from the last, each unturned quad is cut to the rows that no later replacing quad covers;
// then they are drawn first to last. GL's colour, scissor and blend state are the layer's
// again afterwards.
void SubmitPending() {
    auto& s = State();
    if (s.pending.empty()) return;
    const size_t n = s.pending.size();
    const CutAxis along_x = CutAxisOf(s.window_width, s.ortho_width);
    const CutAxis along_y = CutAxisOf(s.window_height, s.ortho_height);
    Scratch& scratch = TheScratch();
    auto& cut = scratch.cut;
    auto& pieces = scratch.pieces;
    cut.assign(n, {0, -1});
    pieces.clear();
    if (along_x.step > 0 && along_y.step > 0) {
        scratch.coverage.Reset(s.window_width, s.window_height);
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
    for (const GLuint name : s.nearest_textures) {
        EnableTexturing(name);
        SetFilter(GL_LINEAR);
    }
    s.nearest_textures.clear();
    if (s.gl_color_known && !std::equal(s.color, s.color + 4, s.gl_color)) {
        VEXEL_GL(glColor4ubv(s.color));
        std::copy_n(s.color, 4, s.gl_color);
    }
    SendScissor(s.scissor, s.scissor_box);
    SendBlendMode(s.blend);
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
    const bool blending = ModeBlends(s.blend) && !(replaces && opaque);
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
            case ScissorUse::kBox: {
                const GLint gl_box[4] = {box[0], box[1], box[2], box[3]};
                TexturedQuad(*this, blending, gl_box, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
                return;
            }
        }
    }
    if (inside && !opaque && unturned && !mipmapped && ClearTexelsChangeNothing(s.blend)) {
        std::vector<SourcePiece>& pieces = TheScratch().frame_pieces;
        const bool worth = ContentPieces(*this, sx, sy, sw, sh, replaces, pieces);
        if (pieces.empty()) return;  // nothing but clear texels
        if (worth) {
            // The pieces do not overlap, so their order does not matter: the opaque cores
            // unblended, the rest blended as the mode has it. A corner's coordinate is exact
            // wherever the quad's own arithmetic can give it exactly.
            const float w = x1 - x0, h = y1 - y0;
            for (const SourcePiece& p : pieces) {
                TexturedQuad(*this, ModeBlends(s.blend) && !(replaces && p.core), nullptr,
                             x0 + (p.sx0 - sx) * w / sw, y0 + (p.sy0 - sy) * h / sh,
                             x0 + (p.sx1 - sx) * w / sw, y0 + (p.sy1 - sy) * h / sh, tx, ty, p.sx0,
                             p.sy0, p.sx1 - p.sx0, p.sy1 - p.sy0);
            }
            return;
        }
    }
    TexturedQuad(*this, blending, nullptr, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
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

    const bool mipmapped = (flags & ImageFlagMipmapped) != 0;
    const bool padded = w < texture_width || h < texture_height;
    auto frame = std::make_shared<TGLImageFrame>();
    frame->image_width = w;
    frame->image_height = h;
    frame->mipmapped = mipmapped;
    if (padded && mipmapped) {
        // Smaller levels average the texels beside the image too, so they must be clear.
        const PixmapPtr upload = PaddedWithClearTexels(*source, texture_width, texture_height);
        MeasureContent(*upload, w, h, *frame);
        frame->name = CreateTexture(texture_width, texture_height, flags);
        UploadTextureLevels(*upload, true);
    } else {
        const PixmapPtr rgba = AsRGBA(source);
        MeasureContent(*rgba, w, h, *frame);
        frame->name = CreateTexture(texture_width, texture_height, flags);
        UploadTextureLevels(*rgba, mipmapped);
        if (padded) UploadRepeatedEdges(*rgba, texture_width, texture_height);
    }
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
    SubmitPending();  // into the context they were drawn for
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
    if (blend == s.blend) return;
    s.blend = blend;
    // Quads waiting for submission keep the mode they were drawn in; GL gets the new one
    // when something is drawn in it.
    if (s.pending.empty()) SendBlendMode(blend);
}

void TGLVex2DDriver::SetAlpha(float alpha) {
    auto& s = State();
    s.color[3] = static_cast<GLubyte>(Clamp01(alpha) * 255.0f);
    VEXEL_GL(glColor4ubv(s.color));
    std::copy_n(s.color, 4, s.gl_color);
    s.gl_color_known = true;
}

void TGLVex2DDriver::SetColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = State();
    s.color[0] = ClampByte(red);
    s.color[1] = ClampByte(green);
    s.color[2] = ClampByte(blue);
    VEXEL_GL(glColor4ubv(s.color));
    std::copy_n(s.color, 4, s.gl_color);
    s.gl_color_known = true;
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
    // Recorded quads keep the box they were drawn in.
    if (x == 0 && y == 0 && width == CurrentGraphicsWidth() && height == CurrentGraphicsHeight()) {
        s.scissor = false;
    } else {
        const float scale = s.view.scale;
        const int32_t left = ViewPixel(static_cast<float>(x), scale);
        const int32_t right = ViewPixel(static_cast<float>(x) + static_cast<float>(width), scale);
        const int32_t top = ViewPixel(static_cast<float>(y), scale);
        const int32_t bottom = ViewPixel(static_cast<float>(y) + static_cast<float>(height), scale);
        s.scissor = true;
        s.scissor_box[0] = left;
        s.scissor_box[1] = s.window_height - bottom;
        s.scissor_box[2] = right - left;
        s.scissor_box[3] = bottom - top;
        ScissorInView(s.scissor_box);
        std::copy_n(s.scissor_box, 4, s.gl_scissor_box);
    }
    if (s.scissor) {
        VEXEL_GL(glEnable(GL_SCISSOR_TEST));
    } else {
        VEXEL_GL(glDisable(GL_SCISSOR_TEST));
    }
    s.gl_scissor = s.scissor;
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
    SubmitPending();
    auto& s = State();
    if (!s.letterboxed) {
        VEXEL_GL(glClear(GL_COLOR_BUFFER_BIT));
        return;
    }
    // The clear colour fills the view (within the drawing viewport), the bars around it stay
    // black.
    const GLint whole_view[4] = {0, 0, s.window_width, s.window_height};
    SendScissor(true, s.scissor ? s.scissor_box : whole_view);
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
    ScissorInView(s.gl_scissor_box);
    SendScissor(s.scissor, s.scissor_box);
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
    SubmitPending();  // drawn in the old projection
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
    s.blend = 0;
    s.gl_blend = 0;
    s.blending = false;
    s.gl_color_known = false;
    s.gl_scissor = false;
    s.surface_width = surface_width;
    s.surface_height = surface_height;
    s.view = FitGraphicsView(width, height, surface_width, surface_height);
    s.letterboxed = s.view.width != surface_width || s.view.height != surface_height;
    s.window_width = s.view.width;
    s.window_height = s.view.height;
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

void SubmitGLVex2DDrawing() {
    SubmitPending();
}

GLVex2DCaches CurrentGLVex2DCaches() {
    const auto& s = State();
    return {s.blend, s.bound_texture, s.texturing};
}

}  // namespace vexel
