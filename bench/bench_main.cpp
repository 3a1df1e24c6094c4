// The main of every benchmark program. Benchmarks that take part in no ratio run once, as
// Google Benchmark runs them. Those compared with a peer run in rounds: each round runs ours
// and its peers once each, the order rotated from round to round, and each figure is process
// CPU time per iteration. A change of machine load then shows in the spread over the rounds
// instead of moving the ratio one way.
//
// Options of our own (the rest go to Google Benchmark):
//   --rounds=N              rounds of the compared benchmarks (default 5)
//   --instructions          only run the code registered with CountInstructions, between
//                           callgrind client requests (run it under valgrind --tool=callgrind);
//                           --benchmark_filter selects among them
//   --list-instructions     print the names registered with CountInstructions
#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"

// Google Benchmark 1.7 exports its flags without declaring them in its header.
namespace benchmark {
extern bool FLAGS_benchmark_list_tests;
extern double FLAGS_benchmark_min_time;
}  // namespace benchmark

namespace vexel::bench {

namespace {

struct Counted {
    std::string name;
    int32_t iterations;
    std::function<bool()> warm_up;
    std::function<bool(int32_t)> run;
};

struct Registry {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<Counted> counted;
    std::vector<std::pair<std::string, std::string>> instruction_pairs;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// "Name/process_time/real_time" -> "Name".
std::string BaseName(std::string name) {
    for (const char* suffix : {"/real_time", "/process_time"}) {
        const size_t length = std::strlen(suffix);
        if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0) {
            name.resize(name.size() - length);
        }
    }
    return name;
}

// A filter that matches exactly one name (Google Benchmark reads POSIX extended regexes).
std::string ExactFilter(const std::string& name) {
    std::string filter = "^";
    for (const char c : name) {
        if (std::strchr(".[]{}()\\*+?^$|", c) != nullptr) filter += '\\';
        filter += c;
    }
    return filter + "$";
}

// Collects the names a listing run prints.
class ListingReporter : public benchmark::ConsoleReporter {
  public:
    ListingReporter() { SetOutputStream(&out_); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        std::istringstream lines(out_.str());
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty()) names.push_back(line);
        }
        return names;
    }

  private:
    std::ostringstream out_;
};

// Prints nothing; keeps the CPU seconds per iteration of the one benchmark it is run on.
class SilentReporter : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.error_occurred) {
                error = run.error_message;
            } else if (run.iterations > 0) {
                seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            }
        }
    }
    double seconds = NAN;
    std::string error;
};

std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
    } else if (seconds >= 1e-6) {
        std::snprintf(text, sizeof text, "%.3f us", seconds * 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.2f ns", seconds * 1e9);
    }
    return text;
}

int RunRounds(int rounds) {
    // The names that the user's filter selects, as Google Benchmark prints them.
    ListingReporter listing;
    benchmark::FLAGS_benchmark_list_tests = true;
    benchmark::RunSpecifiedBenchmarks(&listing);
    benchmark::FLAGS_benchmark_list_tests = false;
    std::map<std::string, std::string> full_name;  // base name -> printed name
    for (const auto& name : listing.Names())
        full_name[BaseName(name)] = name;

    // Each ours with its peers, in the order the ratios were asked for.
    std::vector<std::vector<std::string>> groups;
    std::map<std::string, bool> grouped;
    for (const auto& [ours, peer] : TheRegistry().pairs) {
        if (!full_name.count(ours) || !full_name.count(peer)) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.front() == ours; });
        if (group == groups.end()) {
            groups.push_back({ours});
            group = groups.end() - 1;
        }
        if (std::find(group->begin(), group->end(), peer) == group->end()) group->push_back(peer);
        grouped[ours] = grouped[peer] = true;
    }

    std::string alone;
    for (const auto& [base, name] : full_name) {
        if (grouped.count(base)) continue;
        if (!alone.empty()) alone += '|';
        alone += ExactFilter(name);
    }
    if (!alone.empty()) {
        benchmark::ConsoleReporter console;
        benchmark::RunSpecifiedBenchmarks(&console, alone);
    }
    if (groups.empty()) return 0;

    // One figure per benchmark and round, even for a benchmark in two groups (a peer shared by
    // two of ours, or one of ours that is another's peer): it runs with the first group that
    // names it, so that entry r of every list belongs to round r and the ratios pair rounds.
    std::map<std::string, std::vector<double>> seconds;
    std::map<std::string, std::string> errors;
    for (int round = 0; round < rounds; ++round) {
        std::fprintf(stderr, "\rround %d of %d ", round + 1, rounds);
        std::map<std::string, bool> ran;
        for (const auto& group : groups) {
            for (size_t i = 0; i < group.size(); ++i) {
                const std::string& base = group[(i + static_cast<size_t>(round)) % group.size()];
                if (ran[base]) continue;
                ran[base] = true;
                SilentReporter reporter;
                benchmark::RunSpecifiedBenchmarks(&reporter, ExactFilter(full_name[base]));
                seconds[base].push_back(reporter.seconds);
                if (!reporter.error.empty()) errors[base] = reporter.error;
            }
        }
    }
    std::fprintf(stderr, "\r");

    std::printf(
        "\nProcess CPU time per iteration over %d interleaved rounds "
        "(median, lowest..highest):\n",
        rounds);
    std::map<std::string, bool> printed;
    for (const auto& group : groups) {
        for (const auto& base : group) {
            if (printed[base]) continue;
            printed[base] = true;
            const Summary s = Summarise(seconds[base]);
            if (errors.count(base)) {
                std::printf("  %-56s ERROR: %s\n", base.c_str(), errors[base].c_str());
            } else {
                std::printf("  %-56s %12s  (%s..%s)%s\n", base.c_str(), Duration(s.median).c_str(),
                            Duration(s.low).c_str(), Duration(s.high).c_str(),
                            full_name[base].find("/process_time") == std::string::npos
                                ? "  [thread time only]"
                                : "");
            }
        }
    }
    std::printf(
        "\nRatios of process CPU time, ours / peer, per round (below 1: ours is faster):\n");
    for (const auto& [ours, peer] : TheRegistry().pairs) {
        if (!seconds.count(ours) || !seconds.count(peer)) continue;
        std::vector<double> ratios;
        for (size_t r = 0; r < std::min(seconds[ours].size(), seconds[peer].size()); ++r)
            ratios.push_back(seconds[ours][r] / seconds[peer][r]);
        const Summary s = Summarise(ratios);
        std::printf("  %-44s / %-36s = %.3f  (%.3f..%.3f, %zu rounds)\n", ours.c_str(),
                    peer.c_str(), s.median, s.low, s.high, s.count);
    }
    return errors.empty() ? 0 : 1;
}

int RunInstructionCounts() {
    int status = 0;
    const std::string filter = benchmark::GetBenchmarkFilter();
    const std::regex selected(filter.empty() || filter == "all" ? "." : filter,
                              std::regex::extended);
    for (const auto& counted : TheRegistry().counted) {
        if (!std::regex_search(counted.name, selected)) continue;
        if (!counted.warm_up()) {
            std::printf("failed %s\n", counted.name.c_str());
            status = 1;
            continue;
        }
        CALLGRIND_ZERO_STATS;
        const bool ok = counted.run(counted.iterations);
        const std::string dump = counted.name + " " + std::to_string(counted.iterations);
        CALLGRIND_DUMP_STATS_AT(dump.c_str());
        std::printf("%s %s\n", ok ? "counted" : "failed", dump.c_str());
        if (!ok) status = 1;
    }
    for (const auto& [ours, peer] : TheRegistry().instruction_pairs)
        std::printf("pair %s %s\n", ours.c_str(), peer.c_str());
    return status;
}

}  // namespace

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Summary Summarise(const std::vector<double>& values) {
    std::vector<double> good;
    for (const double v : values) {
        if (std::isfinite(v)) good.push_back(v);
    }
    if (good.empty()) return {NAN, NAN, NAN, 0};
    return {Median(good), *std::min_element(good.begin(), good.end()),
            *std::max_element(good.begin(), good.end()), good.size()};
}

bool CompareWith(const std::string& ours, const std::string& peer) {
    TheRegistry().pairs.emplace_back(BaseName(ours), BaseName(peer));
    return true;
}

bool CountInstructions(const std::string& name, int32_t iterations, std::function<bool()> warm_up,
                       std::function<bool(int32_t)> run) {
    TheRegistry().counted.push_back({name, iterations, std::move(warm_up), std::move(run)});
    return true;
}

bool CompareInstructions(const std::string& ours, const std::string& peer) {
    TheRegistry().instruction_pairs.emplace_back(ours, peer);
    return true;
}

}  // namespace vexel::bench

int main(int argc, char** argv) {
    int rounds = 5;
    bool instructions = false;
    bool min_time_given = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0) {
            rounds = std::max(1, std::atoi(argv[i] + 9));
        } else if (std::strcmp(argv[i], "--instructions") == 0) {
            instructions = true;
        } else if (std::strcmp(argv[i], "--list-instructions") == 0) {
            for (const auto& counted : vexel::bench::TheRegistry().counted)
                std::printf("%s\n", counted.name.c_str());
            return 0;
        } else {
            min_time_given |= std::strncmp(argv[i], "--benchmark_min_time", 20) == 0;
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    if (instructions) return vexel::bench::RunInstructionCounts();
    // Rounds repeat every compared benchmark; a shorter run each keeps the total time sane.
    if (!min_time_given) benchmark::FLAGS_benchmark_min_time = 0.2;
    const int status = vexel::bench::RunRounds(rounds);
    benchmark::Shutdown();
    return status;
}
