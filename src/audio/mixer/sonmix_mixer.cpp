#include "audio/mixer/internal/sonmix_mixer.h"

#include <algorithm>
#include <cassert>

#include "audio/mixer/internal/sonmix_kernels.h"

namespace vexel {

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
        voice->volume.store(kSonmixFullVolume, std::memory_order_relaxed);
        voice->target_volume.store(kSonmixFullVolume, std::memory_order_relaxed);
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
    copy(&SonmixVoice::volume, kSonmixFullVolume);
    copy(&SonmixVoice::target_volume, kSonmixFullVolume);
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
    volume = ClampSonmix16(volume);
    voice->target_volume.store(volume, std::memory_order_relaxed);
    if (voice->status.load(std::memory_order_acquire) & VOICE_PAUSED) {
        voice->volume.store(volume, std::memory_order_relaxed);
    }
}

void SonmixMixer::SetPan(uint32_t handle, int32_t pan) {
    if (SonmixVoice* voice = VoiceFor(handle)) {
        voice->pan.store(ClampSonmix16(pan), std::memory_order_relaxed);
    }
}

void SonmixMixer::SetDepth(uint32_t handle, int32_t depth) {
    if (SonmixVoice* voice = VoiceFor(handle)) {
        voice->depth.store(ClampSonmix16(depth), std::memory_order_relaxed);
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
    MixVoiceFrames(sound, run, out, frames, volume, target_volume, step, target_step, pan, depth);

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
