#pragma once

#include <string>

namespace vexel::bench {

// After all benchmarks have run, prints "<ours> / <peer> = ratio" of their real time per
// iteration (below 1 means ours is faster). Call at static-initialisation time, next to the
// BENCHMARK registrations, with the names as Google Benchmark prints them.
bool CompareWith(const std::string& ours, const std::string& peer);

}  // namespace vexel::bench
