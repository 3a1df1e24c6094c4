// Reading a 16 MiB file in 8 KiB requests: TCStream::ReadBytes against bare fread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "stream/c_stream.h"

namespace {

constexpr size_t kFileSize = 16 << 20;
constexpr size_t kRequest = 8 << 10;

const std::string& TestFile() {
    static const std::string path = [] {
        std::string name = "/tmp/vexel-bench-XXXXXX";
        const int fd = mkstemp(name.data());
        std::FILE* file = fdopen(fd, "wb");
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 31);
        for (size_t written = 0; written < kFileSize; written += block.size()) {
            std::fwrite(block.data(), 1, block.size(), file);
        }
        std::fclose(file);
        std::atexit([] { std::remove(TestFile().c_str()); });
        return name;
    }();
    return path;
}

void BM_TCStreamReadBytes(benchmark::State& state) {
    std::vector<char> buffer(kRequest);
    for (auto _ : state) {
        auto stream = vexel::TCStream::OpenFile(vexel::FromUtf8(TestFile()), true, false);
        for (size_t done = 0; done < kFileSize; done += kRequest) {
            stream->ReadBytes(buffer.data(), kRequest);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_FreadBaseline(benchmark::State& state) {
    std::vector<char> buffer(kRequest);
    for (auto _ : state) {
        std::FILE* file = std::fopen(TestFile().c_str(), "rb");
        for (size_t done = 0; done < kFileSize; done += kRequest) {
            if (std::fread(buffer.data(), 1, kRequest, file) != kRequest)
                state.SkipWithError("short");
        }
        std::fclose(file);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

BENCHMARK(BM_FreadBaseline)->MeasureProcessCPUTime();
BENCHMARK(BM_TCStreamReadBytes)->MeasureProcessCPUTime();
const bool compared = vexel::bench::CompareWith("BM_TCStreamReadBytes", "BM_FreadBaseline");

}  // namespace
