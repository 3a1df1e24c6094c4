#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>

namespace vexel {

// The process-wide Park-Miller generator (multiplier 48271, Schrage's method). A given seed
// yields the same sequence on every machine. Main thread only.

// state = seed AND 0x7fffffff; 0 and 0x7fffffff give 4660, the unseeded state.
void SeedRandom(int32_t seed);
int32_t RandomSeed();  // the current state
// [0, 1) from two steps.
double RandomFloat();
// [0, 1) from one step.
float RandomSingle();
// Between the bounds, in either order; one RandomFloat draw.
double RandomRange(double min, double max);
// Between the bounds, both included, in either order; always two steps.
int32_t RandomInt(int32_t min, int32_t max);

}  // namespace vexel
