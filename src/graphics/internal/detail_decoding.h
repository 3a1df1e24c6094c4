#pragma once

// High-resolution pictures of images decoded away from the main thread. An image loaded for
// a scale above 1 while background detail is on queues a job instead of decoding its
// "Name@Nx" file at once; the queued jobs go to worker threads when a frame has been
// presented (FlipGraphics), so the first frames are never held up by them, the pictures those
// frames show come first, and the image draws from its ordinary picture until its job is
// done.
//
// A job's inputs are set on the main thread before it is queued and never change; its result
// is written by whichever thread decodes it and read by the main thread once Done() is true.
// A worker reads the pixmap loaders and stream factories as linked: a program links its own
// before it loads images in the background.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/image_source.h"
#include "pixmap/pixmap.h"

namespace vexel {

// What a high-resolution picture gives an image: its frames at `scale` times their size
// (none when there is no fitting file), and a line for each file that did not fit
// (ImageSource::DetailPixmap), for the main thread to report.
struct DetailFrames {
    std::vector<PixmapPtr> frames;
    int32_t scale = 1;
    std::vector<String> refused;
};

// How the image's frames are cut from its ordinary picture, to cut the high-resolution one
// alike: `count` cells of width × height from `first_cell`, `across` to a row of a picture
// of picture_width × picture_height, colour-keyed with the mask colour when `masked`.
struct DetailCut {
    int32_t picture_width = 0, picture_height = 0;
    int32_t width = 0, height = 0;
    int32_t first_cell = 0, across = 1, count = 0;
    bool masked = false;
    int32_t mask_r = 0, mask_g = 0, mask_b = 0;
};

// Decodes the source's high-resolution file for `scale` and cuts it into frames. A picture
// whose size is not exactly its scale times the ordinary one's does not fit: it is refused
// before it is decoded, and the next candidate is tried.
// Any thread; the source must be a plain file path (ImageSource::MayHaveDetail).
DetailFrames DecodeDetailFrames(const ImageSource& source, int32_t scale, const DetailCut& cut);

// Where an image's high-resolution frames come from: its file and how its frames are cut.
// Read by the main thread and by workers, never changed once made.
struct DetailOrigin {
    ImageSource source;
    DetailCut cut;
};

class DetailJob;

// An image's high-resolution frames (TImage::detail).
struct ImageDetail {
    // The frames at `scale` times their size, used for the textures when there are any.
    // Writing a frame drops its detail.
    std::vector<PixmapPtr> pixmaps;
    int32_t scale = 1;
    // While the picture is being decoded in the background: its job, and the frames its
    // result is still for (writing a frame drops it). Until the job is done the frames draw
    // from the image's ordinary pixmaps.
    std::shared_ptr<DetailJob> job;
    std::vector<bool> pending;
    // Loaded in the background: where the frames come from, and the scale they were last
    // asked for; a view that needs a higher one asks again. Writing a frame ends it.
    std::shared_ptr<const DetailOrigin> origin;
    int32_t asked = 1;
};

class DetailJob {
  public:
    DetailJob(std::shared_ptr<const DetailOrigin> origin, int32_t scale)
        : origin_(std::move(origin)), scale_(scale) {}

    // The result is there to take. Any thread.
    bool Done() const { return state_.load(std::memory_order_acquire) == kDone; }
    // Decodes on the calling thread unless another thread has begun; then waits for it.
    // Main thread (the worker uses Run).
    DetailFrames Take();
    // Decodes unless another thread has begun or the job was dropped. Any thread.
    void Run();
    // Nobody wants the result any more: a worker that has not begun skips it.
    void Drop() { dropped_.store(true, std::memory_order_relaxed); }
    // The image was drawn while the job waited: the frames on screen show it, so it goes
    // before the jobs of images not drawn yet. Main thread.
    void MarkShown() { shown_ = true; }
    bool Shown() const { return shown_; }
    // The pixels of the ordinary picture, a measure of the job's work.
    int64_t Pixels() const {
        return int64_t{origin_->cut.picture_width} * origin_->cut.picture_height;
    }

  private:
    enum State : int { kQueued, kRunning, kDone };

    bool Claim();

    const std::shared_ptr<const DetailOrigin> origin_;
    const int32_t scale_;
    std::atomic<bool> dropped_{false};
    std::atomic<int> state_{kQueued};
    bool shown_ = false;   // main thread only
    DetailFrames result_;  // written by the thread that claimed the job, before kDone
};

// Queues a job for the next StartQueuedDetailJobs, which runs after every frame the program
// presents (AfterFlipHook). Main thread.
void QueueDetailJob(std::shared_ptr<DetailJob> job);
// Hands the queued jobs to new worker threads, one for each core (at most four, and no
// more than there are jobs), which take them one at a time: first the jobs of images
// already drawn, then the others, each group largest first. Nothing when none are queued.
// Main thread.
void StartQueuedDetailJobs();
// True while a job is queued or a worker is still at work. Main thread.
bool DetailJobsPending();
// At most `workers` workers for each StartQueuedDetailJobs from now on; 0 restores one for
// each core. For tests, which need an order they can watch. Main thread.
void SetDetailWorkerLimit(int32_t workers);

}  // namespace vexel
