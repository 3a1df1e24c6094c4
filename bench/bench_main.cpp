// The main of every benchmark program: runs the registered benchmarks, then prints each
// ratio asked for with CompareWith.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "bench_support.h"

namespace vexel::bench {

namespace {

std::vector<std::pair<std::string, std::string>>& Pairs() {
    static std::vector<std::pair<std::string, std::string>> pairs;
    return pairs;
}

// Prints as usual and remembers each run's real time per iteration.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

bool CompareWith(const std::string& ours, const std::string& peer) {
    Pairs().emplace_back(ours, peer);
    return true;
}

}  // namespace vexel::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    vexel::bench::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool header = false;
    for (const auto& [ours, peer] : vexel::bench::Pairs()) {
        const auto a = reporter.times.find(ours);
        const auto b = reporter.times.find(peer);
        if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) continue;
        if (!header) {
            std::printf("\nRatios (time of ours / time of peer; below 1 is faster):\n");
            header = true;
        }
        std::printf("  %-48s / %-40s = %.3f\n", ours.c_str(), peer.c_str(), a->second / b->second);
    }
    benchmark::Shutdown();
    return 0;
}
