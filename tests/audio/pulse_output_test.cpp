// The mixer through the desktop's sound server: a private PulseAudio server (started by the
// test command, or by a test itself), recorded from its silent output's monitor with parec.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_driver.h"
#include "audio/mixer/internal/oss_output.h"
#include "audio/mixer/internal/pulse_output.h"
#include "audio/mixer/sonmix_driver.h"
#include "runtime/startup.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;
constexpr int kRate = 44100;
constexpr const char* kPactl = "/usr/bin/pactl";

// The output the current driver plays through, null when it is not the mixer.
const MixerOutput* CurrentOutput() {
    const auto mixer = std::dynamic_pointer_cast<TSonmixAudioDriver>(CurrentAudioDriver());
    return mixer && mixer->Session() ? mixer->Session()->output.get() : nullptr;
}

bool PlaysThroughServer() {
    return dynamic_cast<const PulseOutput*>(CurrentOutput()) != nullptr;
}

// A 441 Hz sine (100 frames a period), mono 16-bit, 0.1 s long.
AudioSamplePtr Tone() {
    constexpr int kFrames = 4410;
    auto sample = NewAudioSample(kFrames, kRate, SF_MONO16LE);
    for (int i = 0; i < kFrames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(20000 * std::sin(i * 2 * M_PI / 100)));
        sample->samples[2 * i] = static_cast<uint8_t>(v);
        sample->samples[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    return sample;
}

// Index of the first frame (stereo values) with a value that is not zero at or after
// `from`, or -1.
long FirstSound(const std::vector<int16_t>& values, long from = 0) {
    for (long i = 2 * from; i < static_cast<long>(values.size()); ++i) {
        if (values[i] != 0) return i / 2;
    }
    return -1;
}

// The OSS device as a regular file, which the output writes at the pace of playing.
std::vector<int16_t> ReadDeviceFile(const std::string& path) {
    const std::vector<uint8_t> bytes = testing::ReadFileBytes(path);
    std::vector<int16_t> values(bytes.size() / 2);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return values;
}

// Runs a function of scripts/lib/sound_server.sh with `dir`: start_pulse_server or
// stop_pulse_server.
void SoundServerScript(const std::string& function, const std::string& dir) {
    const auto result = testing::RunProcess(
        {"/bin/bash", "-c", "source \"$0\" && " + function + " \"$1\" >/dev/null 2>&1 </dev/null",
         testing::SourcePath("scripts/lib/sound_server.sh"), dir});
    ASSERT_EQ(result.status, 0) << function << ": " << result.err;
}

// parec recording the monitor of the server's output "speakers" as 44100 Hz stereo 16-bit,
// with an estimate of when its first frame was heard: no later than any piece's arrival
// less the time the frames before it take to play.
class MonitorRecording {
  public:
    explicit MonitorRecording(const std::string& server) {
        int pipe_ends[2];
        if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipe_ends[1], 1);
            execlp("parec", "parec", "--server", server.c_str(), "--device=speakers.monitor",
                   "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=5", "--raw",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipe_ends[1]);
        fd_ = pipe_ends[0];
        reader_ = std::thread([this] { Read(); });
    }
    ~MonitorRecording() { Stop(); }
    MonitorRecording(const MonitorRecording&) = delete;
    MonitorRecording& operator=(const MonitorRecording&) = delete;

    // Waits until the recording runs (a tenth of a second of it has come).
    bool WaitUntilRunning() {
        for (int i = 0; i < 500 && frames_.load() < kRate / 10; ++i)
            std::this_thread::sleep_for(Millis(10));
        return frames_.load() >= kRate / 10;
    }

    // Waits until `frames` frames have come, or `limit` has passed; whether they came.
    bool WaitForFrames(long frames, Millis limit) {
        const auto deadline = Clock::now() + limit;
        while (frames_.load() < frames && Clock::now() < deadline)
            std::this_thread::sleep_for(Millis(10));
        return frames_.load() >= frames;
    }
    long Frames() const { return frames_.load(); }

    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (reader_.joinable()) reader_.join();
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    // After Stop: the values recorded and when the first frame was heard at the latest.
    const std::vector<int16_t>& Values() const { return values_; }
    Clock::time_point Start() const { return start_; }

  private:
    void Read() {
        std::vector<uint8_t> bytes;
        uint8_t piece[4096];
        ssize_t n;
        start_ = Clock::time_point::max();
        while ((n = read(fd_, piece, sizeof piece)) > 0) {
            const auto now = Clock::now();
            bytes.insert(bytes.end(), piece, piece + n);
            const auto frames = static_cast<long>(bytes.size() / 4);
            start_ = std::min(start_, now - std::chrono::microseconds(frames * 1000000L / kRate));
            frames_.store(frames);
        }
        values_.resize(bytes.size() / 4 * 2);
        for (size_t i = 0; i < values_.size(); ++i)
            values_[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::atomic<long> frames_{0};
    std::vector<int16_t> values_;
    Clock::time_point start_;
};

class PulseOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* server = std::getenv("VEXEL_TEST_PULSE_SERVER");
        if (server == nullptr) GTEST_SKIP() << "the test command starts the server";
        server_ = server;
        setenv("PULSE_SERVER", server, 1);
        setenv("AUDIODEV", (dir_ / "missing").c_str(), 1);
        unsetenv("VEXEL_AUDIO");
        ResetAudioDriverSelection();
    }
    void TearDown() override {
        ResetAudioDriverSelection();
        SetAudioClientIdentity(u"", u"");
        unsetenv("PULSE_SERVER");
        unsetenv("AUDIODEV");
        unsetenv("VEXEL_AUDIO");
    }

    testing::TempDir dir_;
    std::string server_;
};

TEST_F(PulseOutputTest, ServerHearsWhatTheOssDeviceGetsSoonAfterTheCall) {
    const AudioSamplePtr tone = Tone();
    // The same calls through the OSS output: a device file that fills at the pace of playing.
    setenv("VEXEL_AUDIO", "oss", 1);
    setenv("AUDIODEV", (dir_ / "dsp.raw").c_str(), 1);
    testing::WriteFileBytes(dir_ / "dsp.raw", {});
    {
        const SoundPtr sound = LoadSoundFile(tone, 0);
        ASSERT_NE(dynamic_cast<const OssOutput*>(CurrentOutput()), nullptr);
        StartSound(sound, nullptr);
        std::this_thread::sleep_for(Millis(300));
        ShutdownAudioDriver();
    }
    const std::vector<int16_t> oss = ReadDeviceFile(dir_ / "dsp.raw");
    const long oss_onset = FirstSound(oss);
    ASSERT_GE(oss_onset, 0);

    unsetenv("VEXEL_AUDIO");
    ResetAudioDriverSelection();
    SetAudioClientIdentity(u"Morvelle Probe", u"morvelle");
    MonitorRecording recording(server_);
    ASSERT_TRUE(recording.WaitUntilRunning());
    const auto running_at = Clock::now();
    const long running_frames = recording.Frames();
    const SoundPtr sound = LoadSoundFile(tone, 0);
    ASSERT_TRUE(PlaysThroughServer());
    // Several plays, each measured from its call to where it begins in the recording.
    constexpr int kPlays = 5;
    std::vector<Clock::time_point> calls;
    for (int i = 0; i < kPlays; ++i) {
        calls.push_back(Clock::now());
        StartSound(sound, nullptr);
        std::this_thread::sleep_for(Millis(250));
    }
    // The stream introduces the program as the server lists it.
    const auto listed = testing::RunProcess({kPactl, "--server", server_, "list", "sink-inputs"});
    ShutdownAudioDriver();
    // The recording is stopped once it reaches a second past the last call: on a loaded
    // machine parec can lag well behind the server.
    const auto recorded_until = calls.back() + Millis(1000) - running_at;
    EXPECT_TRUE(recording.WaitForFrames(
        running_frames +
            static_cast<long>(std::chrono::duration_cast<Millis>(recorded_until).count() * kRate /
                              1000),
        Millis(30000)));
    recording.Stop();

    for (const char* property :
         {"application.name = \"Morvelle Probe\"", "application.icon_name = \"morvelle\"",
          "media.role = \"game\"", "media.name = \"Morvelle Probe\""}) {
        EXPECT_NE(listed.out.find(property), std::string::npos) << property << "\n" << listed.out;
    }

    const std::vector<int16_t>& heard = recording.Values();
    // Sample for sample what the OSS device got, the silence after it included. A machine
    // too busy to keep up now and then cuts a play with a moment of silence (the server
    // plays that when the mixer is late), so most plays, not all, must match; a wrong
    // format, level or pitch would spoil every one.
    const long frames = 4410 + 1000;
    ASSERT_LE(2 * (oss_onset + frames), static_cast<long>(oss.size()));
    long from = 0;
    int whole = 0;
    std::string cut;
    std::vector<double> latencies;
    for (int i = 0; i < kPlays; ++i) {
        const long onset = FirstSound(heard, from);
        ASSERT_GE(onset, 0) << "play " << i << " was not heard";
        ASSERT_LE(2 * (onset + frames), static_cast<long>(heard.size()));
        if (std::equal(heard.begin() + 2 * onset, heard.begin() + 2 * (onset + frames),
                       oss.begin() + 2 * oss_onset)) {
            ++whole;
        } else {
            cut += " " + std::to_string(i);
        }
        const auto heard_at =
            recording.Start() + std::chrono::microseconds(onset * 1000000L / kRate);
        latencies.push_back(std::chrono::duration<double, std::milli>(heard_at - calls[i]).count());
        // The next play begins as much later as it was called, give or take 50 ms.
        if (i + 1 < kPlays) {
            from = onset - kRate / 20 +
                   std::chrono::duration_cast<std::chrono::microseconds>(calls[i + 1] - calls[i])
                           .count() *
                       kRate / 1000000;
        }
    }
    EXPECT_GE(whole, kPlays - 2) << "plays cut:" << cut;
    std::sort(latencies.begin(), latencies.end());
    std::string all;
    for (const double each : latencies)
        all += std::to_string(each) + " ms ";
    // The recording's own latency counts in too: the figures are upper bounds.
    EXPECT_LE(latencies[kPlays / 2], 50.0) << all;
    RecordProperty("latencies", all);
    std::printf("From the call to the server's recording: %s\n", all.c_str());
}

TEST_F(PulseOutputTest, ServerRestartCostsAMomentOfSilenceAndNothingElse) {
    // A server of this test's own, stopped and started again on the same socket.
    const std::string dir = dir_ / "server";
    ASSERT_NO_FATAL_FAILURE(SoundServerScript("start_pulse_server", dir));
    const std::string server = "unix:" + dir + "/native";
    setenv("PULSE_SERVER", server.c_str(), 1);
    // A looping tone, for the sound to be there whenever the server is.
    auto loop = NewAudioSample(100, kRate, SF_MONO16LE);
    const AudioSamplePtr tone = Tone();
    std::copy(tone->samples, tone->samples + 200, loop->samples);
    const SoundPtr sound = LoadSoundFile(loop, SOUND_LOOP);
    ASSERT_TRUE(PlaysThroughServer());
    const ChannelPtr channel = StartSound(sound, nullptr);

    ::testing::internal::CaptureStderr();
    SoundServerScript("stop_pulse_server", dir);
    // Meanwhile the program goes on: calls answer at once and the thread does not spin.
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto outage = Clock::now();
    const SoundPtr click = LoadSoundFile(tone, 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NE(StartSound(click, nullptr), nullptr);
        std::this_thread::sleep_for(Millis(100));
    }
    EXPECT_EQ(ChannelIsPlaying(channel), 1);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
               (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double seconds = std::chrono::duration<double>(Clock::now() - outage).count();
    EXPECT_LT(cpu(after) - cpu(before), 0.25 * seconds) << "processor time while in silence";

    ASSERT_NO_FATAL_FAILURE(SoundServerScript("start_pulse_server", dir));
    const auto restarted = Clock::now();
    // Back on the new server within two seconds of its start, and heard.
    bool back = false;
    while (!back && Clock::now() - restarted < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(Millis(50));
        back = !testing::RunProcess({kPactl, "--server", server, "list", "short", "sink-inputs"})
                    .out.empty();
    }
    const double reconnect = std::chrono::duration<double>(Clock::now() - restarted).count();
    EXPECT_TRUE(back);
    EXPECT_LT(reconnect, 2.0);
    MonitorRecording recording(server);
    ASSERT_TRUE(recording.WaitUntilRunning());
    std::this_thread::sleep_for(Millis(200));
    recording.Stop();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_GE(FirstSound(recording.Values()), 0) << "nothing heard after the restart";
    EXPECT_EQ(said, "Vexel: the sound server went away; sound is silent until it is back.\n");
    ShutdownAudioDriver();
    SoundServerScript("stop_pulse_server", dir);
}

// A server that takes the connection and never answers.
class MuteServer {
  public:
    explicit MuteServer(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd_, 4);
    }
    ~MuteServer() { close(fd_); }
    MuteServer(const MuteServer&) = delete;
    MuteServer& operator=(const MuteServer&) = delete;

  private:
    int fd_;
};

TEST(PulseOutputChoice, WithoutServerTheOssDeviceOrSilenceAtOnce) {
    testing::TempDir dir;
    unsetenv("VEXEL_AUDIO");
    const auto start = [](const char* server, const std::string& device) {
        setenv("PULSE_SERVER", server, 1);
        setenv("AUDIODEV", device.c_str(), 1);
        ResetAudioDriverSelection();
        const auto begun = Clock::now();
        CurrentAudioDriver();
        return Clock::now() - begun;
    };
    const std::string none = "unix:" + dir / "none";
    const std::string mute = "unix:" + dir / "mute";
    MuteServer mute_server(dir / "mute");
    testing::WriteFileBytes(dir / "dsp.raw", {});

    for (const std::string& server : {none, mute}) {
        EXPECT_LT(start(server.c_str(), dir / "dsp.raw"), std::chrono::seconds(1)) << server;
        EXPECT_NE(dynamic_cast<const OssOutput*>(CurrentOutput()), nullptr) << server;
        EXPECT_EQ(SonmixStartFailure(), u"");

        EXPECT_LT(start(server.c_str(), dir / "missing"), std::chrono::seconds(1)) << server;
        EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
        EXPECT_EQ(SonmixStartFailure(),
                  testing::U("the sound server: no server answered; the OSS device " +
                             dir / "missing" + ": cannot be opened"));
    }

    // VEXEL_AUDIO takes one output alone.
    setenv("VEXEL_AUDIO", "pulse", 1);
    start(none.c_str(), dir / "dsp.raw");
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    EXPECT_EQ(SonmixStartFailure(), u"the sound server: no server answered");
    setenv("VEXEL_AUDIO", "none", 1);
    start(none.c_str(), dir / "dsp.raw");
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    EXPECT_EQ(SonmixStartFailure(), u"VEXEL_AUDIO=none asks for none");

    ResetAudioDriverSelection();
    unsetenv("VEXEL_AUDIO");
    unsetenv("PULSE_SERVER");
    unsetenv("AUDIODEV");
}

}  // namespace
}  // namespace vexel
