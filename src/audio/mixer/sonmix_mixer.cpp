#include "audio/mixer/sonmix_mixer.h"

#include <algorithm>
#include <cassert>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexel {

namespace {

constexpr int32_t kFullVolume = 4096;

int32_t Clamp16(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
}

// Steps per output frame as 16.16 source frames.
int64_t StepFor(int32_t rate, int32_t hertz) {
    return static_cast<int64_t>(rate) * hertz / SonmixMixer::kOutputRate;
}

struct Gains {
    int32_t left;
    int32_t right;
};

// Pan attenuates the far side only; a negative depth inverts the right channel. Gains are
// held within ±32768 (8 × full volume), so gain × sample stays inside 32 bits.
Gains GainsFor(int32_t volume, int32_t pan, int32_t depth) {
    int32_t left = volume;
    int32_t right = volume;
    if (pan >= 1) left = (volume * (kFullVolume - pan)) >> 12;
    if (pan < 0) right = (volume * (kFullVolume + pan)) >> 12;
    if (depth < 0) right = -right;
    return {std::clamp(left, -32768, 32768), std::clamp(right, -32768, 32768)};
}

// The value of each channel at a 32.32 position, interpolated linearly between the frame
// at the position and the next one (the guard frame past the last).
template <int kChannels, int kBits>
struct Reader {
    const int16_t* pcm16;
    const uint8_t* pcm8;

    void At(uint64_t position, int32_t& left, int32_t& right) const {
        const size_t index = static_cast<size_t>(position >> 32) * kChannels;
        const int32_t fraction = static_cast<int32_t>((position >> 16) & 0xffff);
        if constexpr (kBits == 16) {
            const int16_t* p = pcm16 + index;
            left = Lerp16(p[0], p[kChannels], fraction);
            right = kChannels == 2 ? Lerp16(p[1], p[kChannels + 1], fraction) : left;
        } else {
            const uint8_t* p = pcm8 + index;
            left = Lerp8(p[0], p[kChannels], fraction);
            right = kChannels == 2 ? Lerp8(p[1], p[kChannels + 1], fraction) : left;
        }
    }

    static int32_t Lerp16(int32_t a, int32_t b, int32_t fraction) {
        // (b - a) × fraction needs 33 bits.
        return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * fraction) >> 16);
    }
    static int32_t Lerp8(int32_t a, int32_t b, int32_t fraction) {
        return (a - 128) * 256 + (((b - a) * fraction) >> 8);
    }
};

void Accumulate(uint32_t* out, Gains gains, int32_t left, int32_t right) {
    out[0] += static_cast<uint32_t>((gains.left * left) >> 8);
    out[1] += static_cast<uint32_t>((gains.right * right) >> 8);
}

struct VoiceRun {
    uint64_t position;
    uint64_t end;  // length as 32.32
    bool loop;
    uint64_t advanced = 0;
    bool ended = false;

    // Moves on by `step` (32.32); wraps a looping voice, ends any other at the end.
    bool Advance(uint64_t step) {
        position += step;
        advanced += step;
        return CheckEnd();
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

// Mixes `frames` frames of one voice into `out`. Volume and step move linearly from their
// current to their target value across the frames, kept with 8 extra fraction bits.
template <int kChannels, int kBits>
void MixRun(const SonmixCoreSound& sound, VoiceRun& run, uint32_t* out, int32_t frames,
            int32_t volume, int32_t target_volume, int64_t step, int64_t target_step, int32_t pan,
            int32_t depth) {
    const Reader<kChannels, kBits> reader{sound.pcm16.data(), sound.pcm8.data()};
    int32_t left, right;
    if (volume == target_volume && step == target_step) {
        const uint64_t advance = static_cast<uint64_t>(step) << 16;
        if (volume == 0) {
            for (int32_t i = 0; i < frames && run.Advance(advance); ++i) {
            }
            return;
        }
        const Gains gains = GainsFor(volume, pan, depth);
        for (int32_t i = 0; i < frames;) {
            // The frames before the end need no end test each.
            const uint64_t left_to_end = run.end - run.position;
            const uint64_t reachable =
                advance == 0 ? frames : (left_to_end + advance - 1) / advance;
            const int32_t count = static_cast<int32_t>(std::min<uint64_t>(frames - i, reachable));
            uint64_t position = run.position;
            for (int32_t k = 0; k < count; ++k, out += 2) {
                reader.At(position, left, right);
                Accumulate(out, gains, left, right);
                position += advance;
            }
            i += count;
            run.position = position;
            run.advanced += advance * static_cast<uint64_t>(count);
            if (!run.CheckEnd()) return;
        }
        return;
    }
    int32_t volume_fixed = volume * 256;
    const int32_t volume_delta = (target_volume - volume) * 256 / frames;
    int64_t step_fixed = step * 256;
    const int64_t step_delta = (target_step - step) * 256 / frames;
    for (int32_t i = 0; i < frames; ++i, out += 2) {
        reader.At(run.position, left, right);
        Accumulate(out, GainsFor(volume_fixed >> 8, pan, depth), left, right);
        if (!run.Advance(static_cast<uint64_t>(step_fixed >> 8) << 16)) return;
        volume_fixed += volume_delta;
        step_fixed += step_delta;
    }
}

// The sums carry 4 fraction bits: each output value is sum >> 4 saturated to 16 bits. The
// sums are cleared for the next block on the way.
void StoreAndClear(uint32_t* sums, int16_t* out) {
    static_assert(SonmixMixer::kBlockValues % 8 == 0);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int32_t i = 0; i < SonmixMixer::kBlockValues; i += 8) {
        __m128i* sum = reinterpret_cast<__m128i*>(sums + i);
        const __m128i low = _mm_srai_epi32(_mm_loadu_si128(sum), 4);
        const __m128i high = _mm_srai_epi32(_mm_loadu_si128(sum + 1), 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
        _mm_storeu_si128(sum, zero);
        _mm_storeu_si128(sum + 1, zero);
    }
#else
    for (int32_t i = 0; i < SonmixMixer::kBlockValues; ++i) {
        out[i] =
            static_cast<int16_t>(std::clamp(static_cast<int32_t>(sums[i]) >> 4, -32768, 32767));
        sums[i] = 0;
    }
#endif
}

}  // namespace

// SonmixCoreSound

std::shared_ptr<const SonmixCoreSound> SonmixCoreSound::Create(const uint8_t* frames,
                                                               int32_t length, int32_t hertz,
                                                               int32_t channels, int32_t bits,
                                                               bool loop) {
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || length < 0) {
        return nullptr;
    }
    auto sound = std::make_shared<SonmixCoreSound>();
    sound->length = length;
    sound->hertz = hertz;
    sound->channels = channels;
    sound->bits = bits;
    sound->bytes_per_frame = channels * bits / 8;
    sound->loop = loop;
    if (length == 0) return sound;
    const size_t values = static_cast<size_t>(length) * channels;
    const size_t guard = loop ? 0 : values - channels;
    if (bits == 16) {
        sound->pcm16.resize(values + channels);
        for (size_t i = 0; i < values; ++i) {
            sound->pcm16[i] = static_cast<int16_t>(frames[2 * i] | (frames[2 * i + 1] << 8));
        }
        for (int32_t c = 0; c < channels; ++c)
            sound->pcm16[values + c] = sound->pcm16[guard + c];
    } else {
        sound->pcm8.assign(frames, frames + values);
        sound->pcm8.resize(values + channels);
        for (int32_t c = 0; c < channels; ++c)
            sound->pcm8[values + c] = sound->pcm8[guard + c];
    }
    return sound;
}

// SonmixMixer: main thread

SonmixMixer::SonmixMixer() : slots_(kHandleSlots), mix_(kBlockValues, 0) {
    // Slot 0 is never handed out; its next_free is the head of the free list 1, 2, ...
    for (uint32_t i = 0; i < kHandleSlots; ++i) {
        slots_[i].next_free = i + 1 < kHandleSlots ? i + 1 : 0;
    }
    voices_.reserve(64);
}

SonmixMixer::~SonmixMixer() = default;

uint32_t SonmixMixer::AllocHandle() {
    const uint32_t index = slots_[0].next_free;
    if (index == 0) return 0;
    Slot& slot = slots_[index];
    slots_[0].next_free = slot.next_free;
    slot.next_free = 0;
    slot.in_use = true;
    slot.generation += kHandleSlots;
    slot.voice = nullptr;
    return index | slot.generation;
}

bool SonmixMixer::HandleValid(uint32_t handle) const {
    const uint32_t index = handle & (kHandleSlots - 1);
    if (index == 0) return false;
    const Slot& slot = slots_[index];
    return slot.in_use && (handle & ~(kHandleSlots - 1)) == slot.generation;
}

void SonmixMixer::FreeHandle(uint32_t handle) {
    if (!HandleValid(handle)) return;
    const uint32_t index = handle & (kHandleSlots - 1);
    Slot& slot = slots_[index];
    if (SonmixVoice* voice = slot.voice) {
        if (voice->with_mixer) {
            // Nothing reaches the voice any more: it plays on and recycles itself at its end
            // (a voice that already finished is dropped at the next pass).
            voice->implicit.store(true, std::memory_order_release);
        } else {
            ReleaseUnstarted(voice);
        }
    }
    slot.voice = nullptr;
    slot.in_use = false;
    slot.next_free = slots_[0].next_free;
    slots_[0].next_free = index;
}

SonmixVoice* SonmixMixer::TakeVoice() {
    SonmixVoice* voice = nullptr;
    if (finished_.Pop(voice)) {
        voice->with_mixer = false;
        // The handle may still be held by a channel whose one-shot voice ended; it must not
        // see this object again once it plays something else.
        Slot& slot = slots_[voice->handle & (kHandleSlots - 1)];
        if (slot.voice == voice) slot.voice = nullptr;
        return voice;
    }
    if (!spare_.empty()) {
        voice = spare_.back();
        spare_.pop_back();
        return voice;
    }
    if (voices_.size() >= kMaxVoices) return nullptr;
    voices_.push_back(std::make_unique<SonmixVoice>());
    return voices_.back().get();
}

void SonmixMixer::ReleaseUnstarted(SonmixVoice* voice) {
    voice->sound.reset();
    spare_.push_back(voice);
}

void SonmixMixer::Finish(SonmixVoice* voice) {
    voice->implicit.store(true, std::memory_order_release);
    int32_t status = voice->status.load(std::memory_order_acquire);
    while (status != VOICE_STOPPED && !voice->status.compare_exchange_weak(
                                          status, VOICE_FINISHED, std::memory_order_acq_rel)) {
    }
}

SonmixVoice* SonmixMixer::VoiceFor(uint32_t handle) {
    if (!HandleValid(handle)) return nullptr;
    Slot& slot = slots_[handle & (kHandleSlots - 1)];
    if (slot.voice == nullptr) {
        // A voice that only holds settings until a sound is played on the handle.
        SonmixVoice* voice = TakeVoice();
        if (voice == nullptr) return nullptr;
        voice->status.store(VOICE_STOPPED, std::memory_order_relaxed);
        voice->rate.store(65536, std::memory_order_relaxed);
        voice->target_rate.store(65536, std::memory_order_relaxed);
        voice->volume.store(kFullVolume, std::memory_order_relaxed);
        voice->target_volume.store(kFullVolume, std::memory_order_relaxed);
        voice->pan.store(0, std::memory_order_relaxed);
        voice->depth.store(0, std::memory_order_relaxed);
        voice->played.store(0, std::memory_order_relaxed);
        voice->implicit.store(false, std::memory_order_relaxed);
        voice->handle = handle;
        slot.voice = voice;
    }
    return slot.voice;
}

uint32_t SonmixMixer::Start(const SonmixSoundRef& sound, bool paused, uint32_t handle,
                            int32_t now) {
    const bool implicit = handle == 0;
    const SonmixVoice* settings = nullptr;
    if (implicit) {
        handle = AllocHandle();
        if (handle == 0) return 0;
    } else {
        if (!HandleValid(handle)) return 0;
        settings = VoiceFor(handle);
    }
    SonmixVoice* voice = sound && sound->HasData() ? TakeVoice() : nullptr;
    if (voice == nullptr) {
        if (implicit) FreeHandle(handle);
        return 0;
    }
    const auto copy = [&](std::atomic<int32_t> SonmixVoice::*field, int32_t fallback) {
        (voice->*field)
            .store(settings ? (settings->*field).load(std::memory_order_relaxed) : fallback,
                   std::memory_order_relaxed);
    };
    copy(&SonmixVoice::rate, 65536);
    copy(&SonmixVoice::target_rate, 65536);
    copy(&SonmixVoice::volume, kFullVolume);
    copy(&SonmixVoice::target_volume, kFullVolume);
    copy(&SonmixVoice::pan, 0);
    copy(&SonmixVoice::depth, 0);
    voice->sound = sound;
    voice->played.store(0, std::memory_order_relaxed);
    voice->status.store((sound->loop ? VOICE_LOOPED : VOICE_ONCE) | (paused ? VOICE_PAUSED : 0),
                        std::memory_order_relaxed);
    voice->start_time = now;
    voice->handle = handle;
    voice->implicit.store(implicit, std::memory_order_relaxed);
    voice->with_mixer = true;
    // Every voice fits in the ring (kMaxVoices), so this cannot fail.
    const bool pushed = started_.Push(voice);
    assert(pushed);
    (void)pushed;

    Slot& slot = slots_[handle & (kHandleSlots - 1)];
    if (SonmixVoice* previous = slot.voice) {
        if (previous->with_mixer) {
            // No handle reaches the replaced voice any more, so it must recycle itself.
            Finish(previous);
        } else {
            ReleaseUnstarted(previous);
        }
    }
    slot.voice = voice;
    return handle;
}

void SonmixMixer::SetVolume(uint32_t handle, int32_t volume) {
    SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return;
    volume = Clamp16(volume);
    voice->target_volume.store(volume, std::memory_order_relaxed);
    if (voice->status.load(std::memory_order_acquire) & VOICE_PAUSED) {
        voice->volume.store(volume, std::memory_order_relaxed);
    }
}

void SonmixMixer::SetPan(uint32_t handle, int32_t pan) {
    if (SonmixVoice* voice = VoiceFor(handle)) {
        voice->pan.store(Clamp16(pan), std::memory_order_relaxed);
    }
}

void SonmixMixer::SetDepth(uint32_t handle, int32_t depth) {
    if (SonmixVoice* voice = VoiceFor(handle)) {
        voice->depth.store(Clamp16(depth), std::memory_order_relaxed);
    }
}

void SonmixMixer::SetRate(uint32_t handle, int32_t rate) {
    SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return;
    // Playing backwards is not supported; a negative rate holds the voice still.
    rate = std::max(rate, 0);
    voice->target_rate.store(rate, std::memory_order_relaxed);
    if (voice->status.load(std::memory_order_acquire) & VOICE_PAUSED) {
        voice->rate.store(rate, std::memory_order_relaxed);
    }
}

void SonmixMixer::SetPaused(uint32_t handle, bool paused) {
    SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return;
    int32_t status = voice->status.load(std::memory_order_acquire);
    // A stopped voice stays stopped: the mixer is about to recycle it.
    while (status != VOICE_STOPPED) {
        const int32_t wanted = paused ? (status | VOICE_PAUSED) : (status & ~VOICE_PAUSED);
        if (voice->status.compare_exchange_weak(status, wanted, std::memory_order_acq_rel)) break;
    }
}

int32_t SonmixMixer::Playing(uint32_t handle) {
    const SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return 0;
    const int32_t status = voice->status.load(std::memory_order_acquire);
    return status != VOICE_STOPPED && (status & (VOICE_FINISHED | VOICE_PAUSED)) == 0 ? 1 : 0;
}

int64_t SonmixMixer::Position(uint32_t handle) {
    const SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return 0;
    return static_cast<int64_t>(voice->played.load(std::memory_order_relaxed) >> 32);
}

void SonmixMixer::Stop(uint32_t handle) {
    SonmixVoice* voice = VoiceFor(handle);
    if (voice == nullptr) return;
    if (voice->with_mixer) Finish(voice);
    FreeHandle(handle);
}

// SonmixMixer: mixer thread

void SonmixMixer::Recycle(SonmixVoice* voice) {
    voice->sound.reset();
    // The ring holds every voice there is, so it always has room.
    const bool pushed = finished_.Push(voice);
    assert(pushed);
    (void)pushed;
}

SonmixMixer::MixResult SonmixMixer::MixVoice(SonmixVoice& voice) {
    const int32_t status = voice.status.load(std::memory_order_acquire);
    if (status == VOICE_FINISHED) return MixResult::kEnded;
    if (status & VOICE_PAUSED) return MixResult::kPaused;
    if (status == VOICE_STOPPED) return MixResult::kStopped;

    int32_t first = 0;
    if (voice.start_delay >= kBlockFrames) {
        voice.start_delay -= kBlockFrames;
        return MixResult::kPlaying;
    }
    first = voice.start_delay;
    voice.start_delay = 0;

    const SonmixCoreSound& sound = *voice.sound;
    const int32_t volume = voice.volume.load(std::memory_order_relaxed);
    const int32_t target_volume = voice.target_volume.load(std::memory_order_relaxed);
    const int32_t rate = voice.rate.load(std::memory_order_relaxed);
    const int32_t target_rate = voice.target_rate.load(std::memory_order_relaxed);
    const int32_t pan = voice.pan.load(std::memory_order_relaxed);
    const int32_t depth = voice.depth.load(std::memory_order_relaxed);

    VoiceRun run{voice.position, static_cast<uint64_t>(sound.length) << 32, sound.loop};
    // A voice paused at its very end and resumed has nothing left to play.
    if (run.position >= run.end) return MixResult::kEnded;
    uint32_t* out = mix_.data() + 2 * first;
    const int32_t frames = kBlockFrames - first;
    const int64_t step = StepFor(rate, sound.hertz);
    const int64_t target_step = StepFor(target_rate, sound.hertz);
    const auto mix = sound.bits == 16 ? (sound.channels == 2 ? MixRun<2, 16> : MixRun<1, 16>)
                                      : (sound.channels == 2 ? MixRun<2, 8> : MixRun<1, 8>);
    mix(sound, run, out, frames, volume, target_volume, step, target_step, pan, depth);

    voice.position = run.position;
    voice.volume.store(target_volume, std::memory_order_relaxed);
    voice.rate.store(target_rate, std::memory_order_relaxed);
    voice.played.fetch_add(run.advanced, std::memory_order_relaxed);
    return run.ended ? MixResult::kEnded : MixResult::kPlaying;
}

void SonmixMixer::MixBlock(int16_t* out, int32_t now) {
    SonmixVoice* voice = nullptr;
    while (started_.Pop(voice)) {
        // Voices sound 20 ms after they were started, measured when picked up here.
        const int64_t wait =
            std::max<int64_t>(0, static_cast<int32_t>(static_cast<uint32_t>(voice->start_time) -
                                                      static_cast<uint32_t>(now)) +
                                     int64_t{kStartDelayMillis});
        voice->start_delay = static_cast<int32_t>(wait * kOutputRate / 1000);
        voice->position = 0;
        voice->next = active_;
        active_ = voice;
    }

    for (SonmixVoice** link = &active_; *link != nullptr;) {
        SonmixVoice* current = *link;
        bool remove = false;
        switch (MixVoice(*current)) {
            case MixResult::kStopped:
                remove = true;
                break;
            case MixResult::kEnded: {
                int32_t status = current->status.load(std::memory_order_acquire);
                if (current->implicit.load(std::memory_order_acquire)) {
                    // Fails only if the main thread changed the status meanwhile; the next
                    // pass looks again.
                    remove = current->status.compare_exchange_strong(status, VOICE_STOPPED,
                                                                     std::memory_order_acq_rel);
                } else if (status != VOICE_FINISHED) {
                    current->status.compare_exchange_strong(status, VOICE_FINISHED,
                                                            std::memory_order_acq_rel);
                }
                break;
            }
            case MixResult::kPaused:
            case MixResult::kPlaying:
                break;
        }
        if (remove) {
            *link = current->next;
            Recycle(current);
        } else {
            link = &current->next;
        }
    }

    StoreAndClear(mix_.data(), out);
}

}  // namespace vexel
