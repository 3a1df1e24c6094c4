#include "graphics/image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "graphics/for_testing.h"
#include "graphics/graphics.h"
#include "graphics/internal/detail_decoding.h"
#include "graphics/internal/drawing_context.h"
#include "graphics/internal/truncate.h"
#include "graphics/vex2d.h"
#include "runtime/last_error.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

struct ImageSettings {
    int32_t key_red = 0, key_green = 0, key_blue = 0;
    int32_t auto_mid_handle = 0;
    int32_t auto_flags = ImageFlagMasked | ImageFlagFiltered;
    bool detail_in_background = false;
};

ImageSettings& Settings() {
    static ImageSettings settings;
    return settings;
}

int32_t ResolveFlags(int32_t flags) {
    return flags == -1 ? Settings().auto_flags : flags;
}

ImagePtr Finish(ImagePtr image) {
    if (image && Settings().auto_mid_handle != 0) CentreImageHandle(*image);
    return image;
}

}  // namespace

namespace {

// Says on standard error, one line each, which high-resolution files did not fit.
void ReportRefusedDetail(const DetailFrames& detail) {
    for (const String& line : detail.refused)
        std::fputs(ToUtf8(AppName() + u": " + line + u"\n").c_str(), stderr);
}

}  // namespace

TImage::~TImage() {
    if (detail && detail->job) detail->job->Drop();
}

void TImage::FinishDetail() {
    if (!detail || !detail->job) return;
    DetailFrames decoded = std::exchange(detail->job, nullptr)->Take();
    ReportRefusedDetail(decoded);
    const std::vector<bool> pending = std::exchange(detail->pending, {});
    if (decoded.frames.empty()) return;  // no picture fits: what there is stays
    detail->scale = decoded.scale;
    detail->pixmaps.resize(pixmaps.size());
    for (size_t f = 0; f < decoded.frames.size() && f < pixmaps.size(); ++f) {
        if (pending[f]) detail->pixmaps[f] = std::move(decoded.frames[f]);
    }
    std::fill(seqs.begin(), seqs.end(), 0);  // made again from the detail when next drawn
}

void TImage::AskForDetail(int32_t scale) {
    if (!detail || !detail->origin || detail->job || scale <= detail->asked) return;
    detail->asked = scale;
    detail->job = std::make_shared<DetailJob>(detail->origin, scale);
    detail->pending.assign(pixmaps.size(), true);
    QueueDetailJob(detail->job);
}

std::shared_ptr<TImageFrame> TImage::Frame(int32_t index) {
    if (!Valid(index)) return nullptr;
    const size_t i = static_cast<size_t>(index);
    // Enlarged on the surface, a texture looks best filtered, and sharpest made from the
    // high-resolution picture. While that is still being decoded, a whole enlargement shows
    // the ordinary picture's pixels as they are, which is also cheaper to draw.
    const float view_scale = CurrentGraphicsView().scale;
    const bool enlarged = view_scale > 1;
    if (enlarged && detail && detail->job && detail->job->Done()) FinishDetail();
    if (detail && detail->job) detail->job->MarkShown();
    // A view enlarged beyond what the image was loaded for (full screen, say) asks for more.
    if (enlarged && detail && detail->origin) AskForDetail(GraphicsDetailScale());
    int32_t frame_flags = flags;  // at 1:1 as the image asks
    if (enlarged) {
        const bool whole_and_waiting =
            detail && detail->job && view_scale == std::floor(view_scale);
        frame_flags = whole_and_waiting ? flags & ~ImageFlagFiltered : flags | ImageFlagFiltered;
    }
    const int32_t generation = GraphicsGeneration();
    if (seqs[i] == generation) return frames[i];
    TVex2DDriver& driver = CurrentVex2DDriver();
    frames[i] = nullptr;
    if (enlarged && detail && i < detail->pixmaps.size() && detail->pixmaps[i]) {
        frames[i] = driver.CreateDetailedFrame(detail->pixmaps[i], flags | ImageFlagFiltered,
                                               detail->scale);
    }
    if (!frames[i]) {
        frames[i] = driver.CreateFrameFromPixmap(Lock(index, 1, 0), frame_flags);
    }
    seqs[i] = frames[i] ? generation : 0;
    return frames[i];
}

PixmapPtr TImage::Lock(int32_t index, int32_t, int32_t write) {
    if (!Valid(index)) return nullptr;
    const size_t i = static_cast<size_t>(index);
    if (write != 0) {
        frames[i] = nullptr;
        seqs[i] = 0;
        DropDetail(i);
    }
    if (!pixmaps[i]) pixmaps[i] = NewPixmap(width, height, PIXEL_RGBA32, 4);
    return pixmaps[i];
}

void TImage::SetPixmap(int32_t index, PixmapPtr pixmap) {
    if (!Valid(index)) return;
    const size_t i = static_cast<size_t>(index);
    if (pixmap && (flags & ImageFlagMasked) != 0 && !PixelFormatHasAlpha(pixmap->format)) {
        pixmap = ColorKeyPixmap(*pixmap, mask_r, mask_g, mask_b);
    }
    pixmaps[i] = std::move(pixmap);
    frames[i] = nullptr;
    seqs[i] = 0;
    DropDetail(i);
}

void TImage::DropDetail(size_t index) {
    if (!detail) return;
    if (index < detail->pixmaps.size()) detail->pixmaps[index] = nullptr;
    if (index < detail->pending.size()) detail->pending[index] = false;
    detail->origin = nullptr;  // a later picture would bring the written frame's detail back
}

namespace {

// The high-resolution picture of `source` cut like the ordinary one into the image's frames:
// decoded now, or queued for a worker while detail loads in the background.
void AttachDetail(TImage& image, const ImageSource& source, const TPixmap& ordinary,
                  int32_t first_cell, int32_t across) {
    if (!source.MayHaveDetail() || image.pixmaps.empty()) return;
    const int32_t scale = GraphicsDetailScale();
    const DetailCut cut{ordinary.width,
                        ordinary.height,
                        image.width,
                        image.height,
                        first_cell,
                        across,
                        static_cast<int32_t>(image.pixmaps.size()),
                        (image.flags & ImageFlagMasked) != 0,
                        image.mask_r,
                        image.mask_g,
                        image.mask_b};
    if (Settings().detail_in_background) {
        image.detail = std::make_unique<ImageDetail>();
        image.detail->origin = std::make_shared<const DetailOrigin>(DetailOrigin{source, cut});
        image.AskForDetail(scale);
        return;
    }
    if (scale <= 1) return;
    DetailFrames decoded = DecodeDetailFrames(source, scale, cut);
    ReportRefusedDetail(decoded);
    if (decoded.frames.empty()) return;
    image.detail = std::make_unique<ImageDetail>();
    image.detail->scale = decoded.scale;
    image.detail->pixmaps = std::move(decoded.frames);
}

}  // namespace

ImagePtr TImage::Create(int32_t width, int32_t height, int32_t frame_count, int32_t flags,
                        int32_t key_red, int32_t key_green, int32_t key_blue) {
    auto image = std::make_shared<TImage>();
    image->width = width;
    image->height = height;
    image->flags = flags;
    image->mask_r = key_red;
    image->mask_g = key_green;
    image->mask_b = key_blue;
    const size_t count = static_cast<size_t>(std::max(frame_count, 0));
    image->pixmaps.resize(count);
    image->frames.resize(count);
    image->seqs.resize(count);
    return image;
}

ImagePtr TImage::Load(const ImageSource& source, int32_t flags, int32_t key_red, int32_t key_green,
                      int32_t key_blue) {
    PixmapPtr pixmap = source.Pixmap();
    if (!pixmap) return nullptr;
    auto image = Create(pixmap->width, pixmap->height, 1, flags, key_red, key_green, key_blue);
    image->SetPixmap(0, pixmap);
    AttachDetail(*image, source, *pixmap, 0, 1);
    return image;
}

ImagePtr TImage::LoadAnim(const ImageSource& source, int32_t cell_width, int32_t cell_height,
                          int32_t first_cell, int32_t cell_count, int32_t flags, int32_t key_red,
                          int32_t key_green, int32_t key_blue) {
    // Cells must have an area and lie inside the picture: anything else would divide by zero
    // or cut windows outside its pixels.
    if (cell_width <= 0 || cell_height <= 0 || first_cell < 0 || cell_count < 0) {
        RecordFailure(u"LoadImageStrip", u"",
                      u"cell sizes must be above 0, the first cell and the count not below 0");
        return nullptr;
    }
    PixmapPtr pixmap = source.Pixmap();
    if (!pixmap) return nullptr;
    const int32_t across = pixmap->width / cell_width;
    const int32_t down = pixmap->height / cell_height;
    if (static_cast<int64_t>(across) * down < static_cast<int64_t>(first_cell) + cell_count) {
        RecordFailure(u"LoadImageStrip", u"",
                      u"a picture of " + IntToString(pixmap->width) + u"×" +
                          IntToString(pixmap->height) + u" holds no cells " +
                          IntToString(first_cell) + u" to " +
                          IntToString(int64_t{first_cell} + cell_count - 1) + u" of " +
                          IntToString(cell_width) + u"×" + IntToString(cell_height));
        return nullptr;
    }
    auto image = Create(cell_width, cell_height, cell_count, flags, key_red, key_green, key_blue);
    for (int32_t i = first_cell; i < first_cell + cell_count; ++i) {
        auto cell = pixmap->Window(cell_width * (i % across), cell_height * (i / across),
                                   cell_width, cell_height);
        image->SetPixmap(i - first_cell, cell->Copy());
    }
    AttachDetail(*image, source, *pixmap, first_cell, across);
    return image;
}

ImagePtr LoadImageFrom(const ImageSource& source, int32_t flags) {
    const FailureScope scope(u"LoadImageFrom");
    const auto& s = Settings();
    return Finish(TImage::Load(source, ResolveFlags(flags), s.key_red, s.key_green, s.key_blue));
}

ImagePtr LoadImageStrip(const ImageSource& source, int32_t cell_width, int32_t cell_height,
                        int32_t first_cell, int32_t cell_count, int32_t flags) {
    const FailureScope scope(u"LoadImageStrip");
    const auto& s = Settings();
    return Finish(TImage::LoadAnim(source, cell_width, cell_height, first_cell, cell_count,
                                   ResolveFlags(flags), s.key_red, s.key_green, s.key_blue));
}

ImagePtr CreateBlankImage(int32_t width, int32_t height, int32_t frame_count, int32_t flags) {
    const auto& s = Settings();
    return Finish(TImage::Create(width, height, frame_count, ResolveFlags(flags) | ImageFlagDynamic,
                                 s.key_red, s.key_green, s.key_blue));
}

void SetImageHandle(TImage& image, float x, float y) {
    image.handle_x = x;
    image.handle_y = y;
}

void CentreImageHandle(TImage& image) {
    image.handle_x = static_cast<float>(image.width) * 0.5f;
    image.handle_y = static_cast<float>(image.height) * 0.5f;
}

void SetAutoMidHandle(int32_t on) {
    Settings().auto_mid_handle = on;
}

void SetAutoImageFlags(int32_t flags) {
    if (flags != -1) Settings().auto_flags = flags;
}

void SetImageMaskColor(int32_t red, int32_t green, int32_t blue) {
    auto& s = Settings();
    s.key_red = red;
    s.key_green = green;
    s.key_blue = blue;
}

void GetImageMaskColor(int32_t& red, int32_t& green, int32_t& blue) {
    const auto& s = Settings();
    red = s.key_red;
    green = s.key_green;
    blue = s.key_blue;
}

int32_t ImageWidthOf(const TImage& image) {
    return image.width;
}
int32_t ImageHeightOf(const TImage& image) {
    return image.height;
}

PixmapPtr LockImageFrame(TImage& image, int32_t frame, int32_t read, int32_t write) {
    return image.Lock(frame, read, write);
}

void UnlockImageFrame(TImage&, int32_t) {}

void GrabImageFrame(TImage& image, int32_t x, int32_t y, int32_t frame) {
    PixmapPtr pixmap = GrabPixmapRect(x, y, image.width, image.height);
    if (!pixmap) return;
    if ((image.flags & ImageFlagMasked) != 0) {
        pixmap = ColorKeyPixmap(*pixmap, image.mask_r, image.mask_g, image.mask_b);
    }
    image.SetPixmap(frame, std::move(pixmap));
}

void DrawImageFrame(TImage& image, float x, float y, int32_t frame) {
    DrawingContextOpen(u"DrawImageFrame");
    const auto f = image.Frame(frame);
    if (!f) return;
    float ox, oy;
    GetDrawOrigin(ox, oy);
    const auto w = static_cast<float>(image.width);
    const auto h = static_cast<float>(image.height);
    f->Draw(-image.handle_x, -image.handle_y, -image.handle_x + w, -image.handle_y + h, x + ox,
            y + oy, 0, 0, w, h);
}

void DrawImageFrameRect(TImage& image, float x, float y, float width, float height, int32_t frame) {
    DrawingContextOpen(u"DrawImageFrameRect");
    const auto f = image.Frame(frame);
    if (!f) return;
    float ox, oy;
    GetDrawOrigin(ox, oy);
    f->Draw(-image.handle_x, -image.handle_y, -image.handle_x + width, -image.handle_y + height,
            x + ox, y + oy, 0, 0, static_cast<float>(image.width),
            static_cast<float>(image.height));
}

void DrawImageSubRect(TImage& image, float x, float y, float w, float h, float sx, float sy,
                      float sw, float sh, float hx, float hy, int32_t frame) {
    DrawingContextOpen(u"DrawImageSubRect");
    if (sw == 0 || sh == 0) return;
    const auto f = image.Frame(frame);
    if (!f) return;
    float ox, oy;
    GetDrawOrigin(ox, oy);
    const float x0 = -hx * w / sw;
    const float y0 = -hy * h / sh;
    f->Draw(x0, y0, x0 + w, y0 + h, x + ox, y + oy, sx, sy, sw, sh);
}

void TileImageFrame(TImage& image, float x, float y, int32_t frame) {
    DrawingContextOpen(u"TileImageFrame");
    const int32_t w = image.width;
    const int32_t h = image.height;
    if (w <= 0 || h <= 0) return;
    const auto f = image.Frame(frame);
    if (!f) return;
    int32_t vx, vy, vw, vh;
    GetDrawViewport(vx, vy, vw, vh);
    float ox, oy;
    GetDrawOrigin(ox, oy);
    CurrentVex2DDriver().SetTransform(1, 0, 0, 1);
    const float px = x + ox - image.handle_x;
    const float py = y + oy - image.handle_y;
    const float fx = px - std::floor(px);
    const float fy = py - std::floor(py);
    // The first tile starts at most w - 1 (h - 1) pixels before the viewport's edge, on the
    // grid through (px, py).
    const int32_t tile_left = vx - w + 1;
    const int32_t tile_top = vy - h + 1;
    const int32_t dx = TruncateCoordinate(std::floor(px) - static_cast<float>(tile_left));
    const int32_t dy = TruncateCoordinate(std::floor(py) - static_cast<float>(tile_top));
    const auto positive_mod = [](int32_t a, int32_t b) { return ((a % b) + b) % b; };
    const int64_t start_x = tile_left + positive_mod(dx, w);
    const int64_t start_y = tile_top + positive_mod(dy, h);
    const auto fw = static_cast<float>(w);
    const auto fh = static_cast<float>(h);
    for (int64_t ty = start_y; ty < static_cast<int64_t>(vy) + vh; ty += h) {
        for (int64_t tx = start_x; tx < static_cast<int64_t>(vx) + vw; tx += w) {
            f->Draw(0, 0, fw, fh, static_cast<float>(tx) + fx, static_cast<float>(ty) + fy, 0, 0,
                    fw, fh);
        }
    }
    RefreshDrawMatrix();
}

void SetImageDetailInBackground(int32_t on) {
    Settings().detail_in_background = on != 0;
}

void FinishImageDetail(TImage& image) {
    image.FinishDetail();
}

void ResetImageSettingsForTesting() {
    Settings() = ImageSettings{};
}

}  // namespace vexel
