#include "graphics/internal/detail_decoding.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "graphics/graphics.h"
#include "system/hook.h"

namespace vexel {

namespace {

// The worker threads and the jobs waiting for the next ones. The workers of one start share
// its jobs, each taking the next one not yet taken; the only other thing they share with the
// main thread is `stopping` (and each job's own atomics).
struct Workers {
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    // The jobs of one start, in the order they are taken.
    struct Batch {
        std::vector<std::shared_ptr<DetailJob>> jobs;
        std::atomic<size_t> next{0};
    };
    std::vector<std::shared_ptr<DetailJob>> queued;
    std::vector<Worker> running;
    std::shared_ptr<std::atomic<bool>> stopping = std::make_shared<std::atomic<bool>>(false);
    int32_t limit = 0;  // workers per start; 0: as many as the processor has cores

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

// More workers than this gain little: the pictures are few and the largest dominates.
constexpr int32_t kMostWorkers = 4;

// After a frame of the program (not a new window's blank ones), the pictures queued
// meanwhile go to workers.
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

bool DetailJobsPending() {
    const Workers& workers = TheWorkers();
    return !workers.queued.empty() ||
           std::any_of(workers.running.begin(), workers.running.end(), [](const auto& worker) {
               return !worker.finished->load(std::memory_order_acquire);
           });
}

void SetDetailWorkerLimit(int32_t workers) {
    TheWorkers().limit = std::max(workers, 0);
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
    // The pictures of images drawn already (the first frames show them) go first, and within
    // each group the largest first, so that the workers run out of work together.
    auto batch = std::make_shared<Workers::Batch>();
    batch->jobs = std::exchange(workers.queued, {});
    std::stable_sort(batch->jobs.begin(), batch->jobs.end(), [](const auto& a, const auto& b) {
        if (a->Shown() != b->Shown()) return a->Shown();
        return a->Pixels() > b->Pixels();
    });
    const auto cores = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    const int32_t wanted = workers.limit > 0 ? workers.limit : std::min(cores, kMostWorkers);
    const auto count = std::min<size_t>(static_cast<size_t>(wanted), batch->jobs.size());
    for (size_t w = 0; w < count; ++w) {
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([batch, finished, stopping = workers.stopping] {
            for (size_t i = batch->next++; i < batch->jobs.size(); i = batch->next++) {
                if (stopping->load(std::memory_order_relaxed)) break;
                batch->jobs[i]->Run();
            }
            finished->store(true, std::memory_order_release);
        });
        workers.running.push_back({std::move(thread), std::move(finished)});
    }
}

}  // namespace vexel
