#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/image_frame.h"
#include "graphics/image_source.h"
#include "pixmap/pixmap.h"
#include "runtime/object.h"

namespace vexel {

struct ImageDetail;

// Image flags.
inline constexpr int32_t ImageFlagMasked = 1;     // frames without alpha are colour-keyed
inline constexpr int32_t ImageFlagFiltered = 2;   // linear texture filtering
inline constexpr int32_t ImageFlagMipmapped = 4;  // textures carry mipmaps
inline constexpr int32_t ImageFlagDynamic = 8;    // made by CreateBlankImage; nothing reads it

// An image of equally sized frames, each a pixmap in memory turned on demand into a driver
// frame for the graphics generation in force. Frame numbers outside 0 .. count - 1 give null
// and change nothing. Main thread only.
class TImage : public Object {
  public:
    int32_t width = 0, height = 0;
    int32_t flags = 0;
    int32_t mask_r = 0, mask_g = 0, mask_b = 0;
    float handle_x = 0, handle_y = 0;
    std::vector<PixmapPtr> pixmaps;
    std::vector<std::shared_ptr<TImageFrame>> frames;
    // GraphicsGeneration at which each driver frame was made; 0 = none.
    std::vector<int32_t> seqs;
    // The frames of the picture's high-resolution file and their decoding, when the image
    // has such a file; sizes, handles and collision masks always come from `pixmaps`.
    std::unique_ptr<ImageDetail> detail;

    ~TImage() override;

    // Slot filler of the virtual-operation order; 0.
    virtual int _pad() { return 0; }
    // The driver frame for the current generation, made from the pixmap when missing or stale;
    // null when the driver makes none (nothing is drawn then; the next draw tries again).
    // On a surface showing more than one pixel per image pixel the texture comes from the
    // frame's detail pixmap when there is one, and is filtered linearly when not.
    virtual std::shared_ptr<TImageFrame> Frame(int32_t index);
    // The frame's pixmap, made blank (PIXEL_RGBA32) when there is none. Writing drops the
    // driver frame so the next draw uploads again.
    virtual PixmapPtr Lock(int32_t index, int32_t read, int32_t write);
    // Stores a frame's pixmap, colour-keyed first when the image is masked and the pixmap has
    // no alpha.
    virtual void SetPixmap(int32_t index, PixmapPtr pixmap);
    // Takes the background job's high-resolution frames now, decoding them on this thread
    // when no worker has begun, or waiting for the one that has. Nothing without a job.
    void FinishDetail();
    // With a detail origin and no job pending, queues a job for `scale` when that is above
    // the scale last asked for.
    void AskForDetail(int32_t scale);

    // An image of `frame_count` frames without pixmaps yet, with the flags and mask colour.
    static std::shared_ptr<TImage> Create(int32_t width, int32_t height, int32_t frame_count,
                                          int32_t flags, int32_t key_red, int32_t key_green,
                                          int32_t key_blue);
    // A one-frame image of the source's picture; null when it cannot be read.
    static std::shared_ptr<TImage> Load(const ImageSource& source, int32_t flags, int32_t key_red,
                                        int32_t key_green, int32_t key_blue);
    // Frames cut from a grid of cells numbered left to right, then top to bottom; null when the
    // picture holds fewer than first + count cells.
    static std::shared_ptr<TImage> LoadAnim(const ImageSource& source, int32_t cell_width,
                                            int32_t cell_height, int32_t first_cell,
                                            int32_t cell_count, int32_t flags, int32_t key_red,
                                            int32_t key_green, int32_t key_blue);

  private:
    bool Valid(int32_t index) const { return index >= 0 && index < std::ssize(pixmaps); }
    void DropDetail(size_t index);
};

using ImagePtr = std::shared_ptr<TImage>;

// Image module functions. A flags argument of -1 stands for the auto image flags (3 unless
// changed).
//
// TImage::Load, TImage::LoadAnim and TImage::Create with the mask colour set below (and a
// centred handle while the auto mid handle is on). Null when the picture cannot be read or
// the cells do not fit it; LastError then says why.
// @{
ImagePtr LoadImageFrom(const ImageSource& source, int32_t flags);
ImagePtr LoadImageStrip(const ImageSource& source, int32_t cell_width, int32_t cell_height,
                        int32_t first_cell, int32_t cell_count, int32_t flags);
ImagePtr CreateBlankImage(int32_t width, int32_t height, int32_t frame_count, int32_t flags);
// @}
// The point of the image, in its pixels, that lands on the position it is drawn at.
void SetImageHandle(TImage& image, float x, float y);
// The handle at the image's centre.
void CentreImageHandle(TImage& image);
// On (non-zero), images made from now on get a centred handle.
void SetAutoMidHandle(int32_t on);
// The flags a flags argument of -1 stands for; -1 here changes nothing.
void SetAutoImageFlags(int32_t flags);
// The colour made transparent in masked images made from now on.
// @{
void SetImageMaskColor(int32_t red, int32_t green, int32_t blue);
void GetImageMaskColor(int32_t& red, int32_t& green, int32_t& blue);
// @}
// The image's frame size.
// @{
int32_t ImageWidthOf(const TImage& image);
int32_t ImageHeightOf(const TImage& image);
// @}
// TImage::Lock; unlocking has nothing left to do.
// @{
PixmapPtr LockImageFrame(TImage& image, int32_t frame, int32_t read, int32_t write);
void UnlockImageFrame(TImage& image, int32_t frame);
// @}
// On (non-zero), images loaded from now on for a scale above 1 decode their high-resolution
// files ("Name@2x.png" ...) on a worker thread, which begins once a frame has been presented,
// instead of while they load; until one is decoded its image draws from the ordinary picture,
// filtered. Off (the default), they are decoded as the image loads. Link any pixmap loader or
// stream factory of the program's own before turning it on.
void SetImageDetailInBackground(int32_t on);
// TImage::FinishDetail: the image's high-resolution frames ready now.
void FinishImageDetail(TImage& image);
// Copies the window pixels at (x, y) of the image's size into the frame.
void GrabImageFrame(TImage& image, int32_t x, int32_t y, int32_t frame);

// The frame with its handle on (x, y) plus the drawing origin, through the drawing matrix.
void DrawImageFrame(TImage& image, float x, float y, int32_t frame);
// The whole frame stretched to width × height.
void DrawImageFrameRect(TImage& image, float x, float y, float width, float height, int32_t frame);
// The source rectangle (sx, sy, sw, sh) drawn into w × h with the handle (hx, hy) in source
// pixels; an empty source rectangle draws nothing.
void DrawImageSubRect(TImage& image, float x, float y, float w, float h, float sx, float sy,
                      float sw, float sh, float hx, float hy, int32_t frame);
// Covers the viewport with unrotated, unscaled copies on the grid through the frame's
// position.
void TileImageFrame(TImage& image, float x, float y, int32_t frame);

}  // namespace vexel
