#include "graphics/gl/internal/gl_image_frame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/internal/gl_check.h"
#include "graphics/gl/internal/gl_drawing.h"
#include "graphics/gl/internal/texture_upload.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"

namespace vexel {
namespace {

// Texture names of released frames, deleted at the next texture creation: only then is a
// context current for certain. Names of an older generation than `generation` belong to a
// context that is gone and are dropped. Never destroyed: frames held by long-lived images
// may be released during static destruction and still queue their names here.
struct DeadTextures {
    std::vector<GLuint> names;
    int32_t generation = 0;
};

DeadTextures& TheDeadTextures() {
    static DeadTextures* const dead = new DeadTextures;
    return *dead;
}

// The pieces of one frame drawn without its clear texels, kept so that the buffer is reused.
// Never destroyed, like the driver's state.
std::vector<SourcePiece>& ThePieces() {
    static auto* const pieces = new std::vector<SourcePiece>;
    return *pieces;
}

// The modes in which a texel of alpha 0 leaves the destination as it was: not drawn at all
// (mask), or added in with weight 0 (alpha, light).
bool ClearTexelsChangeNothing(int32_t blend) {
    return blend == BlendMask || blend == BlendAlpha || blend == BlendLight;
}

// A texture name of w × h with the levels the flags ask for. Names queued by released frames
// are deleted here, on the main thread with a context current, unless they belong to an older
// generation whose context is gone.
GLuint CreateTexture(int32_t width, int32_t height, int32_t flags) {
    // Recorded quads may name a texture about to be deleted, and binding changes below.
    SubmitPendingQuads();
    DeadTextures& dead = TheDeadTextures();
    GLuint name = 0;
    VEXEL_GL(glGenTextures(1, &name));
    const int32_t generation = GraphicsGeneration();
    if (dead.generation == generation) {
        for (GLuint texture : dead.names)
            VEXEL_GL(glDeleteTextures(1, &texture));
    }
    dead.names.clear();
    dead.generation = generation;

    TheGLStateCache().BindTexture(name);
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

TGLImageFrame::~TGLImageFrame() {
    if (seq == 0) return;
    DeadTextures& dead = TheDeadTextures();
    if (seq == dead.generation) dead.names.push_back(name);
    seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx,
                         float sy, float sw, float sh) {
    if (texel_scale != 1) {
        sx *= texel_scale;
        sy *= texel_scale;
        sw *= texel_scale;
        sh *= texel_scale;
    }
    const GLDrawingState& s = CurrentGLDrawing();
    const DrawingPlacement& place = s.placement;
    const auto width = static_cast<float>(content.image_width);
    const auto height = static_cast<float>(content.image_height);
    const bool inside =
        sx >= 0 && sy >= 0 && sw > 0 && sh > 0 && sx + sw <= width && sy + sh <= height;
    // Blended by its own alpha under an opaque colour, an opaque texel replaces the pixel.
    const bool replaces = s.blend == BlendAlpha && s.color[3] == 255 && inside && !mipmapped;
    const bool blending = ModeBlends(s.blend) && !(replaces && content.opaque);
    // Pieces get texture coordinates interpolated across their own corners. Unturned, that
    // gives every pixel the value the whole quad gives it; turned, the last bit can differ
    // and with it a filtered pixel, so a turned frame is drawn whole.
    const bool unturned = place.iy == 0 && place.jx == 0;
    // An opaque frame has no clear texels to leave out, so it is drawn whole at once.
    if (inside && !content.opaque && !unturned && !mipmapped && ClearTexelsChangeNothing(s.blend)) {
        // Turned, the whole quad is drawn with its own corners, but only inside the window
        // box around the content, where a scissor box leaves the rasteriser nothing to do.
        if (content.Clear()) return;
        int32_t box[4];
        switch (ContentScissor(content, place, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh, box)) {
            case ScissorUse::kNothingToDraw:
                return;
            case ScissorUse::kWholeQuad:
                break;
            case ScissorUse::kBox:
                RecordQuad(*this, blending, box, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
                return;
        }
    }
    if (inside && !content.opaque && unturned && !mipmapped && ClearTexelsChangeNothing(s.blend)) {
        std::vector<SourcePiece>& pieces = ThePieces();
        const bool worth = ContentPieces(content, texel_scale, sx, sy, sw, sh, replaces, pieces);
        if (pieces.empty()) return;  // nothing but clear texels
        if (worth) {
            // The pieces do not overlap, so their order does not matter: the opaque cores
            // unblended, the rest blended as the mode has it. A corner's coordinate is exact
            // wherever the quad's own arithmetic can give it exactly.
            const float w = x1 - x0, h = y1 - y0;
            for (const SourcePiece& p : pieces) {
                RecordQuad(*this, ModeBlends(s.blend) && !(replaces && p.core), nullptr,
                           x0 + (p.sx0 - sx) * w / sw, y0 + (p.sy0 - sy) * h / sh,
                           x0 + (p.sx1 - sx) * w / sw, y0 + (p.sy1 - sy) * h / sh, tx, ty, p.sx0,
                           p.sy0, p.sx1 - p.sx0, p.sy1 - p.sy0);
            }
            return;
        }
    }
    RecordQuad(*this, blending, nullptr, x0, y0, x1, y1, tx, ty, sx, sy, sw, sh);
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
    frame->mipmapped = mipmapped;
    if (padded && mipmapped) {
        // Smaller levels average the texels beside the image too, so they must be clear.
        const PixmapPtr upload = PaddedWithClearTexels(*source, texture_width, texture_height);
        frame->content = MeasureContent(*upload, w, h);
        frame->name = CreateTexture(texture_width, texture_height, flags);
        UploadTextureLevels(*upload, true);
    } else {
        const PixmapPtr rgba = AsRGBA(source);
        frame->content = MeasureContent(*rgba, w, h);
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

}  // namespace vexel
