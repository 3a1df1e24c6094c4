#include "audio/mixer/internal/oss_output.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/soundcard.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "audio/mixer/internal/mixer_output.h"
#include "audio/mixer/internal/sonmix_mixer.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

constexpr int kFragments = 0x0003000c;  // 3 fragments of 2^12 = 4096 bytes
// How long the thread waits for room on the device before looking at its run flag again.
constexpr int kPollMillis = 10;
// How far the mixed sound may run ahead of real time on a device that does not block.
constexpr int kLeadBlocks = 4;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

// What the mixer thread uses. It holds a reference itself, so that a thread that outlives
// the wait in the destructor still finds everything, and the device is closed only after
// the last write.
struct OssOutput::Shared {
    Shared(int fd, std::shared_ptr<SonmixMixer> mixer) : device(fd), mixer(std::move(mixer)) {}

    FileDescriptor device;
    std::shared_ptr<SonmixMixer> mixer;
    std::atomic<bool> run{true};
    std::atomic<bool> running{false};
    std::thread thread;
};

namespace {

// Writes the whole block, waiting for room as a blocking write would, but giving up when
// the output is being stopped. Write errors are not reported: the block is dropped.
void WriteBlock(OssOutput::Shared& shared, const uint8_t* bytes, int count) {
    const int fd = shared.device.get();
    while (count > 0 && shared.run.load(std::memory_order_acquire)) {
        const ssize_t n = write(fd, bytes, static_cast<size_t>(count));
        if (n > 0) {
            bytes += n;
            count -= static_cast<int>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd waiting{fd, POLLOUT, 0};
            poll(&waiting, 1, kPollMillis);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

// The mixer thread.
void MixerThread(std::shared_ptr<OssOutput::Shared> shared) {
    // A reader that goes away must not kill the process: the write fails instead.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);

    // Results are ignored: a device that refuses a setting plays what it accepts.
    const int fd = shared->device.get();
    int fragments = kFragments, format = AFMT_S16_LE, channels = 2,
        speed = SonmixMixer::kOutputRate;
    ioctl(fd, SNDCTL_DSP_SETFRAGMENT, &fragments);
    ioctl(fd, SNDCTL_DSP_SETFMT, &format);
    ioctl(fd, SNDCTL_DSP_CHANNELS, &channels);
    ioctl(fd, SNDCTL_DSP_SPEED, &speed);
    shared->running.store(true, std::memory_order_release);

    // A sound device takes blocks only as fast as it plays them, and its blocking write paces
    // the thread; the pacer holds back one that takes everything at once (a regular file, a
    // FIFO that is read as fast as it is written, a failing device).
    int16_t block[SonmixMixer::kBlockValues];
    uint8_t bytes[kMixerBlockBytes];
    BlockPacer pacer(BlockPacer::Clock::now(), kLeadBlocks);
    while (shared->run.load(std::memory_order_acquire)) {
        shared->mixer->MixBlock(block, ElapsedMillis());
        StoreLittleEndian(block, bytes);
        WriteBlock(*shared, bytes, kMixerBlockBytes);
        std::this_thread::sleep_for(pacer.AfterBlock(BlockPacer::Clock::now()));
    }
    shared->running.store(false, std::memory_order_release);
}

}  // namespace

std::string OssOutput::DevicePath() {
    const String path = GetEnvVar(u"AUDIODEV");
    return path.empty() ? std::string("/dev/dsp") : ToUtf8(path);
}

std::unique_ptr<OssOutput> OssOutput::Open(std::shared_ptr<SonmixMixer> mixer) {
    // Non-blocking, so that a device nobody reads (a FIFO without a reader) fails at once
    // instead of hanging the program; the thread waits for room with poll.
    const int fd = open(DevicePath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto shared = std::make_shared<Shared>(fd, std::move(mixer));
    shared->thread = std::thread(MixerThread, shared);
    return std::unique_ptr<OssOutput>(new OssOutput(std::move(shared)));
}

OssOutput::OssOutput(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

OssOutput::~OssOutput() {
    shared_->run.store(false, std::memory_order_release);
    // The thread sets its running flag only once it has configured the device; until then
    // (or while it is still writing) wait 10 ms at a time, 500 times at most.
    for (int i = 0; i < 500; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!shared_->running.load(std::memory_order_acquire)) break;
    }
    if (shared_->running.load(std::memory_order_acquire)) {
        // Still stuck in the device: let it finish on its own; it keeps what it uses.
        shared_->thread.detach();
    } else {
        shared_->thread.join();
    }
}

}  // namespace vexel
