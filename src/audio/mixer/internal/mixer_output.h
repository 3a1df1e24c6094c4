#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "audio/mixer/internal/sonmix_mixer.h"

namespace vexel {

// A started output of the mixer: a thread that mixes one block after another and carries
// each to where it is heard (44100 Hz, stereo, signed 16-bit little-endian). Created, stopped
// and destroyed on the main thread; destroying it stops the thread.
class MixerOutput {
  public:
    MixerOutput() = default;
    virtual ~MixerOutput() = default;
    MixerOutput(const MixerOutput&) = delete;
    MixerOutput& operator=(const MixerOutput&) = delete;
};

// One mixed block as the outputs carry it.
inline constexpr int kMixerBlockBytes = SonmixMixer::kBlockValues * 2;
inline constexpr auto kMixerBlockDuration =
    std::chrono::microseconds(1000000LL * SonmixMixer::kBlockFrames / SonmixMixer::kOutputRate);

// Stores a block's values as signed 16-bit little-endian bytes.
inline void StoreLittleEndian(const int16_t* values, uint8_t* bytes) {
    for (int i = 0; i < SonmixMixer::kBlockValues; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(values[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(values[i]) >> 8);
    }
}

// Keeps a mixer thread from running ahead of real time where nothing else paces it (a device
// that takes everything at once, or no device at all while one is being waited for): at most
// `lead_blocks` blocks ahead. After a stall it does not hurry to catch up: the schedule
// starts again from the present.
class BlockPacer {
  public:
    using Clock = std::chrono::steady_clock;

    BlockPacer(Clock::time_point now, int lead_blocks)
        : played_until_(now), lead_blocks_(lead_blocks) {}

    // Called once per block mixed; how long to rest before mixing the next one.
    Clock::duration AfterBlock(Clock::time_point now) {
        played_until_ = std::max(played_until_, now) + kMixerBlockDuration;
        const Clock::duration ahead = played_until_ - now;
        return std::max<Clock::duration>(Clock::duration::zero(),
                                         ahead - lead_blocks_ * kMixerBlockDuration);
    }

  private:
    Clock::time_point played_until_;  // when the blocks mixed so far end, played in time
    int lead_blocks_;
};

}  // namespace vexel
