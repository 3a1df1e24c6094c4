#pragma once

// The mixing kernels: one voice's frames added into the 32-bit sums of a block, and the sums
// turned into 16-bit output. Scalar code with SSE2 forms on x86-64 that give the same
// results bit for bit. Mixer thread only; they touch no shared state.

#include <algorithm>
#include <cstdint>

#include "audio/mixer/internal/sonmix_mixer.h"

namespace vexel {

inline constexpr int32_t kSonmixFullVolume = 4096;

inline int32_t ClampSonmix16(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
}

// Steps per output frame as 16.16 source frames. Never negative: a sound with a negative
// rate in its header holds still, as a negative playing rate does.
inline int64_t StepFor(int32_t rate, int32_t hertz) {
    return std::max<int64_t>(0, static_cast<int64_t>(rate) * hertz / SonmixMixer::kOutputRate);
}

// Where one voice is within its sound while a block is mixed, as 32.32 frames.
struct VoiceRun {
    uint64_t position;
    uint64_t end;  // length as 32.32
    bool loop;
    uint64_t advanced = 0;
    bool ended = false;

    // How many of the next `limit` frames certainly lie before the end when none moves on
    // by more than `advance`: those need no end test each.
    int32_t FramesBeforeEnd(uint64_t advance, int32_t limit) const {
        if (advance == 0) return limit;
        const uint64_t left = end - position;
        const uint64_t reachable = left / advance + (left % advance != 0 ? 1 : 0);
        return static_cast<int32_t>(std::min<uint64_t>(limit, reachable));
    }

    // Wraps a looping voice that reached the end; false for any other voice there.
    bool CheckEnd() {
        if (position < end) return true;
        if (loop) {
            position %= end;
            return true;
        }
        ended = true;
        return false;
    }
};

// Mixes `frames` frames of one voice into `out` (left, right sums), ramping volume and step
// from their current to their target value across the frames, and moves `run` on. Stops
// early when a sound that does not loop ends.
void MixVoiceFrames(const SonmixCoreSound& sound, VoiceRun& run, uint32_t* out, int32_t frames,
                    int32_t volume, int32_t target_volume, int64_t step, int64_t target_step,
                    int32_t pan, int32_t depth);

// Stores one block's sums (SonmixMixer::kBlockValues) as output values. The sums carry 4
// fraction bits: each output value is sum >> 4 saturated to 16 bits. The sums are cleared for
// the next block on the way.
void StoreAndClear(uint32_t* sums, int16_t* out);

}  // namespace vexel
