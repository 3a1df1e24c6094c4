// LoadSoundFile of a 3-second Ogg Vorbis file (through the loader list, WAV first) against
// a bare ov_read loop over the same bytes into a buffer of the announced size.
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <vector>

#include "audio/audio_driver.h"
#include "bench_support.h"

namespace {

const char* kFile = VEXEL_SOURCE_DIR "/bench/data/three_seconds.ogg";

void BM_LoadSoundFileOgg(benchmark::State& state) {
    vexel::SelectAudioDriver(u"Null");
    const vexel::String path = vexel::FromUtf8(kFile);
    for (auto _ : state) {
        // The Null driver keeps no copy of the frames, so this is the sample load itself.
        const auto sound = vexel::LoadSoundFile(path, 0);
        if (!sound) state.SkipWithError("not loaded");
        benchmark::DoNotOptimize(sound.get());
    }
}

void BM_BareOvReadLoop(benchmark::State& state) {
    for (auto _ : state) {
        OggVorbis_File vorbis;
        if (ov_fopen(kFile, &vorbis) != 0) return state.SkipWithError("not opened");
        const int channels = ov_info(&vorbis, -1)->channels;
        std::vector<char> pcm(static_cast<size_t>(ov_pcm_total(&vorbis, -1)) * 2 * channels);
        size_t done = 0;
        int section = 0;
        while (done < pcm.size()) {
            const long n = ov_read(&vorbis, pcm.data() + done,
                                   static_cast<int>(std::min<size_t>(16384, pcm.size() - done)), 0,
                                   2, 1, &section);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ov_clear(&vorbis);
        benchmark::DoNotOptimize(pcm.data());
    }
}

BENCHMARK(BM_BareOvReadLoop)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_LoadSoundFileOgg)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
const bool compared = vexel::bench::CompareWith("BM_LoadSoundFileOgg", "BM_BareOvReadLoop");

}  // namespace
