#pragma once

#include <cstdint>

namespace vexel {

// Float to Int, truncating toward zero as every conversion here does, with values beyond
// ±2^30 held at that limit and NaN taken as 0: coordinates come from callers' arithmetic and
// must never make a conversion undefined, and differences of two results never overflow.
inline int32_t TruncateCoordinate(float value) {
    constexpr float kLimit = 1073741824.0f;  // 2^30
    if (!(value == value)) return 0;
    if (value >= kLimit) return 1 << 30;
    if (value <= -kLimit) return -(1 << 30);
    return static_cast<int32_t>(value);
}

}  // namespace vexel
