#include "audio/mixer/internal/pulse_output.h"

#include <pulse/def.h>
#include <pulse/sample.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

#include "audio/audio_driver.h"
#include "audio/mixer/internal/pulse_library.h"
#include "audio/mixer/internal/sonmix_mixer.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

using Clock = std::chrono::steady_clock;

// How long a server may take to accept the program and its stream before it counts as
// absent.
constexpr auto kAnswerTimeout = std::chrono::milliseconds(500);
// How often a server that went away is looked for again.
constexpr auto kReconnectInterval = std::chrono::seconds(1);
// The server holds two blocks: the next block is mixed when one has played, so a sound
// started now is heard at most about two blocks (46 ms) later.
constexpr uint32_t kTargetBytes = 2 * kMixerBlockBytes;
// How long the thread waits for the server's next request before it looks at its run flag
// again (stopping wakes it at once).
constexpr int kWaitMicros = 100000;
constexpr uint32_t kServerDefault = static_cast<uint32_t>(-1);

struct MainloopFree {
    void operator()(pa_mainloop* loop) const { PulseLibrary()->mainloop_free(loop); }
};
using Mainloop = std::unique_ptr<pa_mainloop, MainloopFree>;

struct ProplistFree {
    void operator()(pa_proplist* list) const { PulseLibrary()->proplist_free(list); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistFree>;

// Waits at most `micros` for the server (or a wake-up) and handles what came. False when the
// loop failed.
bool RunLoopOnce(pa_mainloop* loop, int micros) {
    const PulseFunctions& pa = *PulseLibrary();
    return pa.mainloop_prepare(loop, micros) >= 0 && pa.mainloop_poll(loop) >= 0 &&
           pa.mainloop_dispatch(loop) >= 0;
}

// Runs the loop until `done` holds; false when the deadline passes first, the loop fails or
// the output is being stopped.
bool RunLoopUntil(pa_mainloop* loop, Clock::time_point deadline, const std::atomic<bool>& run,
                  const std::function<bool()>& done) {
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !run.load(std::memory_order_acquire)) return false;
        if (!RunLoopOnce(loop, static_cast<int>(left.count()))) return false;
    }
    return true;
}

// How the program introduces itself, read once on the main thread: the mixer thread uses it
// again for every new connection.
struct Identity {
    std::string name;
    std::string icon_name;
};

// The program's connection to the server and its playback stream there. Used by one thread
// at a time, the one that runs the loop.
class Connection {
  public:
    // Connects within the deadline; null with `failure` set when that fails.
    static std::unique_ptr<Connection> Open(pa_mainloop* loop, const Identity& identity,
                                            Clock::time_point deadline,
                                            const std::atomic<bool>& run, std::string& failure);

    ~Connection() {
        if (stream_ != nullptr) {
            pa_.stream_disconnect(stream_);
            pa_.stream_unref(stream_);
        }
        if (context_ != nullptr) {
            pa_.context_disconnect(context_);
            pa_.context_unref(context_);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // False once the server went away or dropped the stream.
    bool Up() const {
        return pa_.context_get_state(context_) == PA_CONTEXT_READY &&
               pa_.stream_get_state(stream_) == PA_STREAM_READY;
    }

    // How many bytes the server has room for now.
    size_t Room() const { return pa_.stream_writable_size(stream_); }

    // Hands the bytes to the server (which copies them); false when it failed.
    bool Write(const uint8_t* bytes, size_t count) {
        return pa_.stream_write(stream_, bytes, count, nullptr, 0, PA_SEEK_RELATIVE) >= 0;
    }

  private:
    Connection() : pa_(*PulseLibrary()) {}

    const PulseFunctions& pa_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
};

std::unique_ptr<Connection> Connection::Open(pa_mainloop* loop, const Identity& identity,
                                             Clock::time_point deadline,
                                             const std::atomic<bool>& run, std::string& failure) {
    const PulseFunctions& pa = *PulseLibrary();
    std::unique_ptr<Connection> connection(new Connection());
    const char* const name = identity.name.c_str();
    const Proplist properties(pa.proplist_new());
    pa.proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, name);
    if (!identity.icon_name.empty()) {
        pa.proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME,
                         identity.icon_name.c_str());
    }
    pa.proplist_sets(properties.get(), PA_PROP_MEDIA_ROLE, "game");

    // A server is never started for the program: the desktop runs one, or there is none.
    pa_context* const context =
        pa.context_new_with_proplist(pa.mainloop_get_api(loop), name, properties.get());
    connection->context_ = context;
    const auto context_settled = [&] {
        const pa_context_state_t state = pa.context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    };
    if (context == nullptr ||
        pa.context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !RunLoopUntil(loop, deadline, run, context_settled) ||
        pa.context_get_state(context) != PA_CONTEXT_READY) {
        failure = "no server answered";
        return nullptr;
    }

    const pa_sample_spec format{PA_SAMPLE_S16LE, SonmixMixer::kOutputRate, 2};
    pa_stream* const stream =
        pa.stream_new_with_proplist(context, name, &format, nullptr, properties.get());
    connection->stream_ = stream;
    const pa_buffer_attr buffer{kServerDefault, kTargetBytes, kServerDefault, kMixerBlockBytes,
                                kServerDefault};
    const auto stream_settled = [&] {
        const pa_stream_state_t state = pa.stream_get_state(stream);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    };
    if (stream == nullptr ||
        pa.stream_connect_playback(stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0 ||
        !RunLoopUntil(loop, deadline, run, stream_settled) ||
        pa.stream_get_state(stream) != PA_STREAM_READY) {
        failure = "the server refused the stream";
        return nullptr;
    }
    return connection;
}

}  // namespace

// What the mixer thread uses; the output joins the thread before it lets go of this.
struct PulseOutput::Shared {
    Identity identity;
    Mainloop loop;
    std::shared_ptr<SonmixMixer> mixer;
    std::atomic<bool> run{true};
    std::thread thread;
};

namespace {

// The mixer thread, from the first connection on.
void MixerThread(PulseOutput::Shared& shared, std::unique_ptr<Connection> connection) {
    // A server that goes away must not kill the process: the write fails instead.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);

    int16_t block[SonmixMixer::kBlockValues];
    uint8_t bytes[kMixerBlockBytes];
    BlockPacer pacer(Clock::now(), 0);
    Clock::time_point next_attempt;
    while (shared.run.load(std::memory_order_acquire)) {
        if (connection) {
            // The server paces the thread: a block for each block of room, then wait for it
            // to ask for more.
            bool up = connection->Up();
            while (up && connection->Room() >= kMixerBlockBytes) {
                shared.mixer->MixBlock(block, ElapsedMillis());
                StoreLittleEndian(block, bytes);
                up = connection->Write(bytes, kMixerBlockBytes);
            }
            if (up && RunLoopOnce(shared.loop.get(), kWaitMicros) && connection->Up()) continue;
            connection.reset();
            std::fputs("Vexel: the sound server went away; sound is silent until it is back.\n",
                       stderr);
            pacer = BlockPacer(Clock::now(), 0);
            next_attempt = Clock::now() + kReconnectInterval;
        } else {
            // Meanwhile the voices go on in real time into nothing, so that sounds end as if
            // heard and none piles up for the return of the server.
            shared.mixer->MixBlock(block, ElapsedMillis());
            std::this_thread::sleep_for(pacer.AfterBlock(Clock::now()));
            if (Clock::now() >= next_attempt) {
                std::string failure;
                connection = Connection::Open(shared.loop.get(), shared.identity,
                                              Clock::now() + kAnswerTimeout, shared.run, failure);
                next_attempt = Clock::now() + kReconnectInterval;
            }
        }
    }
}

}  // namespace

std::unique_ptr<PulseOutput> PulseOutput::Open(std::shared_ptr<SonmixMixer> mixer,
                                               std::string& failure) {
    const PulseFunctions* pa = PulseLibrary();
    if (pa == nullptr) {
        failure = "libpulse.so.0 cannot be loaded";
        return nullptr;
    }
    auto shared = std::make_unique<Shared>();
    shared->identity = {ToUtf8(AudioClientName()), ToUtf8(AudioClientIconName())};
    shared->loop.reset(pa->mainloop_new());
    if (!shared->loop) {
        failure = "the client library failed";
        return nullptr;
    }
    auto connection = Connection::Open(shared->loop.get(), shared->identity,
                                       Clock::now() + kAnswerTimeout, shared->run, failure);
    if (!connection) return nullptr;
    shared->mixer = std::move(mixer);
    shared->thread = std::thread(MixerThread, std::ref(*shared), std::move(connection));
    return std::unique_ptr<PulseOutput>(new PulseOutput(std::move(shared)));
}

PulseOutput::PulseOutput(std::unique_ptr<Shared> shared) : shared_(std::move(shared)) {}

PulseOutput::~PulseOutput() {
    shared_->run.store(false, std::memory_order_release);
    PulseLibrary()->mainloop_wakeup(shared_->loop.get());
    shared_->thread.join();
}

}  // namespace vexel
