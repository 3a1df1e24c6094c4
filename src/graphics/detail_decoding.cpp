#include "graphics/internal/detail_decoding.h"

#include <thread>
#include <utility>

#include "graphics/graphics.h"
#include "system/hook.h"

namespace vexel {

namespace {

// The worker threads and the jobs waiting for the next one. A worker owns the jobs it was
// handed; the only thing it shares with the main thread is `stopping` (and each job's own
// atomics).
struct Workers {
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<std::shared_ptr<DetailJob>> queued;
    std::vector<Worker> running;
    std::shared_ptr<std::atomic<bool>> stopping = std::make_shared<std::atomic<bool>>(false);

    // At exit a worker finishes the picture in hand and skips the rest.
    ~Workers() {
        stopping->store(true, std::memory_order_relaxed);
        for (Worker& worker : running)
            worker.thread.join();
    }
};

Workers& TheWorkers() {
    static Workers workers;
    return workers;
}

// Whether any job was ever queued: flips of programs without any leave the workers alone.
bool& AnyQueued() {
    static bool queued = false;
    return queued;
}

// After a frame of the program (not a new window's blank ones), the pictures queued
// meanwhile go to a worker.
ObjectPtr StartJobsAfterFlip(int, const ObjectPtr& data, const ObjectPtr&) {
    if (data != BlankFrameMark()) StartQueuedDetailJobs();
    return data;
}

}  // namespace

DetailFrames DecodeDetailFrames(const ImageSource& source, int32_t scale, const DetailCut& cut) {
    int32_t found = 1;
    DetailFrames out;
    const PixmapPtr detail =
        source.DetailPixmap(scale, cut.picture_width, cut.picture_height, found, out.refused);
    if (!detail) return out;
    const int32_t cell_width = cut.width * found;
    const int32_t cell_height = cut.height * found;
    out.scale = found;
    out.frames.reserve(static_cast<size_t>(cut.count));
    for (int32_t f = 0; f < cut.count; ++f) {
        const int32_t cell = cut.first_cell + f;
        // Windows on the picture, not copies: detail pixmaps are only read, and a large strip
        // would otherwise be copied once more.
        PixmapPtr pixmap =
            cut.count == 1 && cut.first_cell == 0
                ? detail
                : detail->Window(cell_width * (cell % cut.across),
                                 cell_height * (cell / cut.across), cell_width, cell_height);
        if (cut.masked && !PixelFormatHasAlpha(pixmap->format)) {
            pixmap = ColorKeyPixmap(*pixmap, cut.mask_r, cut.mask_g, cut.mask_b);
        }
        out.frames.push_back(std::move(pixmap));
    }
    return out;
}

bool DetailJob::Claim() {
    int expected = kQueued;
    return state_.compare_exchange_strong(expected, kRunning, std::memory_order_acquire);
}

void DetailJob::Run() {
    if (dropped_.load(std::memory_order_relaxed) || !Claim()) return;
    result_ = DecodeDetailFrames(origin_->source, scale_, origin_->cut);
    state_.store(kDone, std::memory_order_release);
    state_.notify_all();
}

DetailFrames DetailJob::Take() {
    if (Claim()) {
        result_ = DecodeDetailFrames(origin_->source, scale_, origin_->cut);
        state_.store(kDone, std::memory_order_release);
    }
    for (int state = state_.load(std::memory_order_acquire); state != kDone;
         state = state_.load(std::memory_order_acquire)) {
        state_.wait(state, std::memory_order_acquire);
    }
    return std::move(result_);
}

void QueueDetailJob(std::shared_ptr<DetailJob> job) {
    TheWorkers().queued.push_back(std::move(job));
    if (!std::exchange(AnyQueued(), true))
        AttachHook(AfterFlipHook(), StartJobsAfterFlip, nullptr, 0);
}

void StartQueuedDetailJobs() {
    if (!AnyQueued()) return;
    Workers& workers = TheWorkers();
    if (workers.queued.empty()) return;
    // Workers that are done are joined here, so threads never pile up.
    std::erase_if(workers.running, [](Workers::Worker& worker) {
        if (!worker.finished->load(std::memory_order_acquire)) return false;
        worker.thread.join();
        return true;
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread(
        [jobs = std::exchange(workers.queued, {}), finished, stopping = workers.stopping] {
            for (const auto& job : jobs) {
                if (stopping->load(std::memory_order_relaxed)) break;
                job->Run();
            }
            finished->store(true, std::memory_order_release);
        });
    workers.running.push_back({std::move(thread), std::move(finished)});
}

}  // namespace vexel
