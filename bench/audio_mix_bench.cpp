// The mixer core's cost per 1024-frame block for 1, 8 and 64 playing 16-bit stereo voices,
// at rate 1.0 and 1.37, panned; against SDL_MixAudioFormat summing the same voices (no
// resampling) and against a plain scalar loop with 16.16 positions and interpolation.
// Also the mixer thread's CPU time per second of audio with 64 voices through each output:
// into a FIFO as the OSS device, and to a PulseAudio server (VEXEL_TEST_PULSE_SERVER).
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_driver.h"
#include "audio/mixer/internal/sonmix_mixer.h"
#include "bench_support.h"

namespace {

constexpr int kFrames = vexel::SonmixMixer::kBlockFrames;
constexpr int kSoundFrames = 44100;

const std::vector<uint8_t>& StereoPcm() {
    static const std::vector<uint8_t> pcm = [] {
        std::vector<uint8_t> bytes(kSoundFrames * 4);
        for (int i = 0; i < kSoundFrames * 2; ++i) {
            const auto v = static_cast<int16_t>(12000 * std::sin(i * 0.01) + (i % 7) * 100);
            bytes[2 * i] = static_cast<uint8_t>(v);
            bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
        }
        return bytes;
    }();
    return pcm;
}

// Arguments: voices, rate × 100.
void BM_SonmixMixBlock(benchmark::State& state) {
    vexel::SonmixMixer mixer;
    const auto sound =
        vexel::SonmixCoreSound::Create(StereoPcm().data(), kSoundFrames, 44100, 2, 16, true);
    for (int v = 0; v < state.range(0); ++v) {
        const uint32_t handle = mixer.Start(sound, false, 0, -1000);
        mixer.SetRate(handle, static_cast<int32_t>(state.range(1) * 65536 / 100));
        mixer.SetPan(handle, 1200 - 40 * v);
        mixer.SetVolume(handle, 3072);
    }
    int16_t out[vexel::SonmixMixer::kBlockValues];
    mixer.MixBlock(out, 0);  // picks the voices up and finishes the ramps
    for (auto _ : state) {
        mixer.MixBlock(out, 0);
        benchmark::DoNotOptimize(out);
    }
    state.counters["ns_per_voice_block"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The same with every voice's volume changed before each block (as a game moving its sound
// sources every frame does), so that every block ramps.
void BM_SonmixMixBlockRamping(benchmark::State& state) {
    vexel::SonmixMixer mixer;
    const auto sound =
        vexel::SonmixCoreSound::Create(StereoPcm().data(), kSoundFrames, 44100, 2, 16, true);
    std::vector<uint32_t> handles;
    for (int v = 0; v < state.range(0); ++v) {
        handles.push_back(mixer.Start(sound, false, 0, -1000));
        mixer.SetRate(handles.back(), static_cast<int32_t>(state.range(1) * 65536 / 100));
        mixer.SetPan(handles.back(), 1200 - 40 * v);
    }
    int16_t out[vexel::SonmixMixer::kBlockValues];
    int32_t volume = 3072;
    for (auto _ : state) {
        volume = 5120 - volume;  // 3072, 2048, 3072, ...
        for (const uint32_t handle : handles)
            mixer.SetVolume(handle, volume);
        mixer.MixBlock(out, 0);
        benchmark::DoNotOptimize(out);
    }
    state.counters["ns_per_voice_block"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SdlMixAudioFormat(benchmark::State& state) {
    std::vector<uint8_t> out(kFrames * 4);
    const int voices = static_cast<int>(state.range(0));
    size_t offset = 0;
    for (auto _ : state) {
        std::fill(out.begin(), out.end(), 0);
        for (int v = 0; v < voices; ++v) {
            SDL_MixAudioFormat(
                out.data(), StereoPcm().data() + (offset + 4 * 37 * v) % (kFrames * 40),
                AUDIO_S16LSB, static_cast<Uint32>(out.size()), SDL_MIX_MAXVOLUME * 3 / 4);
        }
        offset = (offset + 4 * kFrames) % (kFrames * 40);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_voice_block"] =
        benchmark::Counter(static_cast<double>(state.iterations() * voices),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The textbook loop: 16.16 position, linear interpolation, constant gains, 32-bit sums.
void BM_ScalarInterpolatingLoop(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    const uint32_t step = static_cast<uint32_t>(state.range(1) * 65536 / 100);
    std::vector<int16_t> pcm(kSoundFrames * 2 + 2);
    std::memcpy(pcm.data(), StereoPcm().data(), StereoPcm().size());
    std::vector<uint32_t> positions(voices, 0);
    std::vector<int32_t> sum(kFrames * 2);
    std::vector<int16_t> out(kFrames * 2);
    const uint32_t end = static_cast<uint32_t>(kSoundFrames - 2) << 16;
    for (auto _ : state) {
        std::fill(sum.begin(), sum.end(), 0);
        for (int v = 0; v < voices; ++v) {
            const int32_t gain_left = 3072, gain_right = 2048;
            uint32_t position = positions[v];
            for (int i = 0; i < kFrames; ++i) {
                const uint32_t index = (position >> 16) * 2;
                const int32_t fraction = static_cast<int32_t>(position & 0xffff);
                const int32_t left =
                    pcm[index] + (((pcm[index + 2] - pcm[index]) * (fraction >> 1)) >> 15);
                const int32_t right =
                    pcm[index + 1] + (((pcm[index + 3] - pcm[index + 1]) * (fraction >> 1)) >> 15);
                sum[2 * i] += (left * gain_left) >> 12;
                sum[2 * i + 1] += (right * gain_right) >> 12;
                position += step;
                if (position >= end) position -= end;
            }
            positions[v] = position;
        }
        for (int i = 0; i < kFrames * 2; ++i) {
            out[i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_voice_block"] =
        benchmark::Counter(static_cast<double>(state.iterations() * voices),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void MixArgs(benchmark::internal::Benchmark* b) {
    for (int voices : {1, 8, 64}) {
        for (int rate : {100, 137})
            b->Args({voices, rate});
    }
}

BENCHMARK(BM_SonmixMixBlock)->Apply(MixArgs)->MeasureProcessCPUTime();
BENCHMARK(BM_SonmixMixBlockRamping)->Apply(MixArgs)->MeasureProcessCPUTime();
BENCHMARK(BM_ScalarInterpolatingLoop)->Apply(MixArgs)->MeasureProcessCPUTime();
BENCHMARK(BM_SdlMixAudioFormat)->Arg(1)->Arg(8)->Arg(64)->MeasureProcessCPUTime();

const bool compared = [] {
    for (int voices : {1, 8, 64}) {
        const std::string v = std::to_string(voices);
        for (const char* rate : {"100", "137"}) {
            vexel::bench::CompareWith("BM_SonmixMixBlock/" + v + "/" + rate,
                                      "BM_SdlMixAudioFormat/" + v);
            vexel::bench::CompareWith("BM_SonmixMixBlock/" + v + "/" + rate,
                                      "BM_ScalarInterpolatingLoop/" + v + "/" + rate);
        }
    }
    return true;
}();

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// 64 looping voices through the real driver, started in the environment given; each
// iteration waits for one second of audio with `wait_second`. Reports the process CPU time
// per second of audio.
template <typename WaitSecond>
void MixerThreadCpu(benchmark::State& state, WaitSecond wait_second) {
    if (vexel::SelectAudioDriver(u"Sonmix") != 1) return state.SkipWithError("no output");
    auto sample = vexel::TAudioSample::CreateStatic(const_cast<uint8_t*>(StereoPcm().data()),
                                                    kSoundFrames, 44100, vexel::SF_STEREO16LE);
    const auto sound = vexel::LoadSoundFile(sample, vexel::SOUND_LOOP);
    std::vector<vexel::ChannelPtr> channels;
    for (int v = 0; v < 64; ++v) {
        channels.push_back(vexel::StartSound(sound, nullptr));
        vexel::SetRateOf(channels.back(), 1.0f + v * 0.01f);
        vexel::SetPanOf(channels.back(), -0.5f + v / 64.0f);
    }
    double audio_seconds = 0, cpu = 0;
    for (auto _ : state) {
        const double before = CpuSeconds();
        audio_seconds += wait_second();
        cpu += CpuSeconds() - before;
    }
    channels.clear();
    vexel::ShutdownAudioDriver();
    state.counters["cpu_ms_per_audio_second"] = cpu * 1000 / audio_seconds;
}

// The OSS output into a FIFO that this thread drains as fast as it can (the output keeps
// real time by itself); the reader's reads count in.
void BM_MixerThreadCpuPerAudioSecond(benchmark::State& state) {
    char dir[] = "/tmp/vexel-bench-XXXXXX";
    if (!mkdtemp(dir)) return state.SkipWithError("mkdtemp");
    const std::string fifo = std::string(dir) + "/dsp";
    mkfifo(fifo.c_str(), 0600);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    fcntl(reader, F_SETFL, 0);  // blocking reads from here on
    setenv("AUDIODEV", fifo.c_str(), 1);
    setenv("VEXEL_AUDIO", "oss", 1);
    std::vector<uint8_t> buffer(1 << 16);
    MixerThreadCpu(state, [&] {
        int64_t bytes = 0;
        while (bytes < 44100 * 4) {  // one second of audio
            const ssize_t n = read(reader, buffer.data(), buffer.size());
            if (n <= 0) break;
            bytes += n;
        }
        return static_cast<double>(bytes) / (44100 * 4);
    });
    close(reader);
    unlink(fifo.c_str());
    rmdir(dir);
}

// The sound server's output: the server takes the audio at its own pace.
void BM_PulseMixerThreadCpuPerAudioSecond(benchmark::State& state) {
    const char* server = std::getenv("VEXEL_TEST_PULSE_SERVER");
    if (server == nullptr) return state.SkipWithError("VEXEL_TEST_PULSE_SERVER is not set");
    setenv("PULSE_SERVER", server, 1);
    setenv("VEXEL_AUDIO", "pulse", 1);
    MixerThreadCpu(state, [] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return 1.0;
    });
}

BENCHMARK(BM_MixerThreadCpuPerAudioSecond)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_PulseMixerThreadCpuPerAudioSecond)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

const bool kOutputsCompared =
    vexel::bench::CompareWith("BM_PulseMixerThreadCpuPerAudioSecond/iterations:5",
                              "BM_MixerThreadCpuPerAudioSecond/iterations:5");

}  // namespace
