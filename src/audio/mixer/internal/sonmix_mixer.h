#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mixer/internal/spsc_ring.h"

namespace vexel {

// The mixer's own copy of a sound: PCM frames in the layout the mix reads (signed 16-bit or
// unsigned 8-bit, one or two channels) plus one guard frame after the last, so that
// interpolation can always read the frame after the current one. The guard repeats the
// first frame of a looping sound and the last frame of any other. Immutable once made;
// shared between the sound object and every voice that plays it.
struct SonmixCoreSound {
    // Copies `length` frames of little-endian PCM. Null for a layout other than 1 or 2
    // channels of 8 or 16 bits.
    static std::shared_ptr<const SonmixCoreSound> Create(const uint8_t* frames, int32_t length,
                                                         int32_t hertz, int32_t channels,
                                                         int32_t bits, bool loop);

    bool HasData() const { return length > 0; }

    int32_t length = 0;  // frames, not counting the guard frame
    int32_t hertz = 0;
    int32_t channels = 0;
    int32_t bits = 0;
    int32_t bytes_per_frame = 0;
    bool loop = false;
    std::vector<int16_t> pcm16;  // (length + 1) × channels values when bits = 16
    std::vector<uint8_t> pcm8;   // (length + 1) × channels bytes when bits = 8
};

using SonmixSoundRef = std::shared_ptr<const SonmixCoreSound>;

// Voice status values: a bit set of these, or 1 (finished) or 0 (stopped, to be recycled).
enum : int32_t {
    VOICE_STOPPED = 0,
    VOICE_FINISHED = 1,
    VOICE_ONCE = 2,
    VOICE_LOOPED = 4,
    VOICE_PAUSED = 16,
};

// One playing instance of a sound. The main thread writes the settings and the status; the
// mixer thread reads them at its next pass, moves the position and may finish the voice.
// Everything both threads touch is atomic; the rest belongs to one thread, or is handed over
// through the rings (whose release/acquire order publishes it).
struct SonmixVoice {
    std::atomic<int32_t> status{VOICE_STOPPED};
    std::atomic<int32_t> rate{65536};  // 16.16, 65536 = the sound's own rate
    std::atomic<int32_t> target_rate{65536};
    std::atomic<int32_t> volume{4096};  // 4.12, 4096 = full
    std::atomic<int32_t> target_volume{4096};
    std::atomic<int32_t> pan{0};      // 4.12, -4096 left .. 4096 right
    std::atomic<int32_t> depth{0};    // 4.12; negative inverts the right channel
    std::atomic<uint64_t> played{0};  // frames advanced, 32.32
    // Set when no channel handle reaches the voice any more: it recycles itself at its end.
    std::atomic<bool> implicit{false};

    // Handed over through the rings.
    SonmixSoundRef sound;
    int32_t start_time = 0;  // ElapsedMillis when started
    uint32_t handle = 0;

    // Mixer thread only.
    uint64_t position = 0;        // frames from the start of the data, 32.32
    int32_t start_delay = 0;      // output frames still to wait
    SonmixVoice* next = nullptr;  // in the active list

    // Main thread only: started and not yet back through the finished ring.
    bool with_mixer = false;
};

// The mixer core: voices, channel handles and the mix arithmetic, without any device.
// Output is 44100 Hz stereo; one pass mixes 1024 frames.
//
// Threads: the functions under "main thread" are called by one thread (the program's main
// thread); MixBlock is called by one other thread (the output's mixer thread). The two meet
// only in the two rings and in the voices' atomic fields.
class SonmixMixer {
  public:
    static constexpr int32_t kOutputRate = 44100;
    static constexpr int32_t kBlockFrames = 1024;
    static constexpr int32_t kBlockValues = 2 * kBlockFrames;
    static constexpr int32_t kStartDelayMillis = 20;
    static constexpr uint32_t kHandleSlots = 4096;
    static constexpr uint32_t kRingSize = 4096;
    // Every voice object fits in the finished ring, so handing one back never fails.
    static constexpr size_t kMaxVoices = kRingSize;

    SonmixMixer();
    ~SonmixMixer();
    SonmixMixer(const SonmixMixer&) = delete;
    SonmixMixer& operator=(const SonmixMixer&) = delete;

    // Main thread. ---------------------------------------------------------------------
    // A free handle (slot index | generation), or 0 when all 4095 are in use.
    uint32_t AllocHandle();
    // Gives a handle back. Its voice plays on, but recycles itself when it ends.
    void FreeHandle(uint32_t handle);
    bool HandleValid(uint32_t handle) const;
    // Starts `sound` on `handle`, or on a new handle when it is 0 (the voice is then
    // implicit). A voice already on the handle finishes and hands its settings to the new
    // one. Returns the handle, or 0 when the handle is stale, none is free, the sound has no
    // data or no voice can be made (a handle taken here is given back then).
    uint32_t Start(const SonmixSoundRef& sound, bool paused, uint32_t handle, int32_t now);
    // Settings of the voice on a handle; stale handles are ignored. Volume, pan and depth
    // are 4.12 values clamped to 16 bits, the rate is 16.16.
    void SetVolume(uint32_t handle, int32_t volume);
    void SetPan(uint32_t handle, int32_t pan);
    void SetDepth(uint32_t handle, int32_t depth);
    void SetRate(uint32_t handle, int32_t rate);
    void SetPaused(uint32_t handle, bool paused);
    int32_t Playing(uint32_t handle);
    // Frames advanced so far by the voice on the handle.
    int64_t Position(uint32_t handle);
    // Finishes the voice and frees the handle.
    void Stop(uint32_t handle);

    // Mixer thread. --------------------------------------------------------------------
    // One pass: picks up started voices, mixes every active voice, converts the sum to
    // 16-bit samples (left, right, ...) in `out`. `now` is ElapsedMillis.
    void MixBlock(int16_t* out, int32_t now);

  private:
    struct Slot {
        SonmixVoice* voice = nullptr;
        uint32_t next_free = 0;
        uint32_t generation = kHandleSlots;
        bool in_use = false;
    };
    enum class MixResult { kPlaying, kPaused, kEnded, kStopped };

    // Main thread.
    SonmixVoice* VoiceFor(uint32_t handle);
    SonmixVoice* TakeVoice();
    void ReleaseUnstarted(SonmixVoice* voice);
    static void Finish(SonmixVoice* voice);

    // Mixer thread.
    MixResult MixVoice(SonmixVoice& voice);
    void Recycle(SonmixVoice* voice);

    // Main thread state.
    std::vector<Slot> slots_;
    std::vector<std::unique_ptr<SonmixVoice>> voices_;  // every voice ever made
    std::vector<SonmixVoice*> spare_;                   // made, not in use

    SpscRing<SonmixVoice*, kRingSize> started_;   // main → mixer
    SpscRing<SonmixVoice*, kRingSize> finished_;  // mixer → main

    // Mixer thread state.
    SonmixVoice* active_ = nullptr;
    std::vector<uint32_t> mix_;  // sums wrap as 32-bit two's complement, never overflow UB
};

}  // namespace vexel
