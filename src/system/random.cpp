#include "system/random.h"

namespace vexel {

namespace {

constexpr int32_t kUnseeded = 4660;
constexpr int32_t kModulus = 2147483647;
constexpr int32_t kMultiplier = 48271;
constexpr int32_t kQuotient = 44488;  // kModulus / kMultiplier
constexpr int32_t kRemainder = 3399;  // kModulus % kMultiplier

int32_t state = kUnseeded;

// Schrage's method keeps every intermediate inside 32-bit signed range.
int32_t Step() {
    state = (state % kQuotient) * kMultiplier - (state / kQuotient) * kRemainder;
    if (state < 0) state += kModulus;
    return state;
}

}  // namespace

void SeedRandom(int32_t seed) {
    state = seed & 0x7fffffff;
    if (state == 0 || state == 0x7fffffff) state = kUnseeded;
}

int32_t RandomSeed() {
    return state;
}

double RandomFloat() {
    const int32_t s1 = Step();
    const int32_t s2 = Step();
    return ((s1 & 0x1ffffffc) + (s2 & 0x1ffffff8) / 134217728.0) / 536870912.0;
}

float RandomSingle() {
    return static_cast<float>(Step() & 0x0ffffff0) / 268435456.0f;
}

double RandomRange(double min, double max) {
    const double u = RandomFloat();
    return max > min ? min + u * (max - min) : max + u * (min - max);
}

int32_t RandomInt(int32_t min, int32_t max) {
    // The difference wraps as 32-bit arithmetic would.
    const auto d = static_cast<int32_t>(static_cast<uint32_t>(max) - static_cast<uint32_t>(min));
    const double u = RandomFloat();
    if (d > 0) return min + static_cast<int32_t>(u * (static_cast<double>(d) + 1));
    return max + static_cast<int32_t>(u * (1 - static_cast<double>(d)));
}

}  // namespace vexel
