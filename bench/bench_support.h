#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexel::bench {

// The middle value (the mean of the two middle ones for an even count); `values` must not be
// empty.
double Median(std::vector<double> values);

// The median, lowest and highest of the finite values, and how many there were (NaN figures
// and a count of 0 when none is).
struct Summary {
    double median, low, high;
    size_t count;
};
Summary Summarise(const std::vector<double>& values);

// Asks for the ratio "<ours> / <peer>" of process CPU time per iteration (below 1 means ours
// is faster). The names are the benchmarks' names without the "/process_time" and
// "/real_time" suffixes; both benchmarks must measure process CPU time
// (->MeasureProcessCPUTime()). Every benchmark named in some ratio is run in rounds: each
// round runs ours and all of its peers once, in an order rotated from round to round, so that
// a change of machine load falls on both sides alike; the median ratio over the rounds and its
// spread are printed at the end. Call at static-initialisation time, next to the BENCHMARK
// registrations.
bool CompareWith(const std::string& ours, const std::string& peer);

// Registers code whose instructions are counted under callgrind (scripts/bench does that):
// with --instructions the program runs `warm_up` once, then `run(iterations)` between a
// reset and a dump of callgrind's counters named after `name` and the iteration count, and
// nothing else. `run` returns false when it cannot run (no display, say).
bool CountInstructions(const std::string& name, int32_t iterations, std::function<bool()> warm_up,
                       std::function<bool(int32_t)> run);

// Asks scripts/bench to print the ratio of two instruction counts registered above.
bool CompareInstructions(const std::string& ours, const std::string& peer);

}  // namespace vexel::bench
