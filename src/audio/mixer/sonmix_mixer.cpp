#include "audio/mixer/sonmix_mixer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexel {

namespace {

constexpr int32_t kFullVolume = 4096;

int32_t Clamp16(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767));
}

// Steps per output frame as 16.16 source frames. Never negative: a sound with a negative
// rate in its header holds still, as a negative playing rate does.
int64_t StepFor(int32_t rate, int32_t hertz) {
    return std::max<int64_t>(0, static_cast<int64_t>(rate) * hertz / SonmixMixer::kOutputRate);
}

struct Gains {
    int32_t left;
    int32_t right;
};

// Pan attenuates the far side only; a negative depth inverts the right channel. Gains are
// held within ±32768 (8 × full volume), so gain × sample stays inside 32 bits.
struct Panning {
    int32_t left;  // 4.12 share of the volume on each side
    int32_t right;
    int32_t sign;  // of the right side

    Panning(int32_t pan, int32_t depth)
        : left(pan >= 1 ? kFullVolume - pan : kFullVolume),
          right(pan < 0 ? kFullVolume + pan : kFullVolume),
          sign(depth < 0 ? -1 : 1) {}

    Gains At(int32_t volume) const {
        return {std::clamp((volume * left) >> 12, -32768, 32768),
                std::clamp(sign * ((volume * right) >> 12), -32768, 32768)};
    }
};

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

// Volume and step moving linearly towards their targets across a block, each kept with 8
// extra fraction bits.
struct Ramp {
    int32_t volume;
    int32_t volume_delta;
    int64_t step;
    int64_t step_delta;

    int32_t Volume() const { return volume >> 8; }
    uint64_t Advance() const { return static_cast<uint64_t>(step >> 8) << 16; }
    void Next() {
        volume += volume_delta;
        step += step_delta;
    }
};

#if defined(__SSE2__)
// Four frames of 16-bit samples at a time, with the scalar arithmetic's exact results.
// pmaddwd multiplies 16-bit lanes in pairs, so the 33-bit product (b - a) × f of the
// interpolation is taken apart along f = 256 fh + fl:
//   a + floor((b - a) f / 2^16) = floor((a (256 - fh) + b fh + floor((b - a) fl / 2^8)) / 2^8)
// where each pmaddwd operand fits 16 bits and each sum fits 32. A gain may be 32768, one
// more than 16 bits hold, so it is applied as the sum of its two halves.
class Sse2Mix16 {
  public:
    // Volume and pan shares are clamped to 16 bits, so each fits a pmaddwd operand.
    Sse2Mix16(const Panning& panning, int32_t volume)
        : left_(_mm_set1_epi32(panning.left & 0xffff)),
          right_(_mm_set1_epi32(panning.right & 0xffff)),
          invert_(_mm_set1_epi32(panning.sign < 0 ? -1 : 0)) {
        const Gains gains = panning.At(volume);
        const int16_t l1 = Half(gains.left), l2 = Rest(gains.left);
        const int16_t r1 = Half(gains.right), r2 = Rest(gains.right);
        gains_ = _mm_setr_epi16(l1, l2, r1, r2, l1, l2, r1, r2);
    }

    // Mixes groups of four frames at constant gains into `out` (two values a frame);
    // returns the position after the last frame.
    template <int kChannels>
    uint64_t Mix(const int16_t* pcm, uint64_t position, uint64_t advance, uint32_t* out,
                 int32_t groups) const {
        // Lane k: the low 32 bits of frame k's position, whose top half is its fraction.
        __m128i lows = _mm_setr_epi32(Low(position), Low(position + advance),
                                      Low(position + 2 * advance), Low(position + 3 * advance));
        const __m128i lows_step = _mm_set1_epi32(Low(4 * advance));
        for (int32_t g = 0; g < groups; ++g, out += 8) {
            const int16_t* frames[4];
            for (const int16_t*& frame : frames) {
                frame = pcm + static_cast<size_t>(position >> 32) * kChannels;
                position += advance;
            }
            MixFour<kChannels>(frames, lows, out, gains_, gains_);
            lows = _mm_add_epi32(lows, lows_step);
        }
        return position;
    }

    // The same with volume and step ramping, frame by frame as `ramp` moves on.
    template <int kChannels>
    uint64_t MixRamp(const int16_t* pcm, uint64_t position, Ramp& ramp, uint32_t* out,
                     int32_t groups) const {
        const int32_t delta = ramp.volume_delta;
        __m128i volumes = _mm_setr_epi32(ramp.volume, ramp.volume + delta, ramp.volume + 2 * delta,
                                         ramp.volume + 3 * delta);
        const __m128i volumes_step = _mm_set1_epi32(4 * delta);
        for (int32_t g = 0; g < groups; ++g, out += 8) {
            const int16_t* frames[4];
            int32_t lows[4];
            for (int32_t k = 0; k < 4; ++k) {
                frames[k] = pcm + static_cast<size_t>(position >> 32) * kChannels;
                lows[k] = Low(position);
                position += ramp.Advance();
                ramp.Next();
            }
            __m128i first, second;
            GainsAt(_mm_srai_epi32(volumes, 8), first, second);
            volumes = _mm_add_epi32(volumes, volumes_step);
            MixFour<kChannels>(frames, _mm_setr_epi32(lows[0], lows[1], lows[2], lows[3]), out,
                               first, second);
        }
        return position;
    }

    // Mixes groups of four consecutive frames that need no interpolation (the sound's own
    // rate from a whole frame, where every fraction is 0 and the value is a).
    template <int kChannels>
    void MixConsecutive(const int16_t* pcm, uint32_t* out, int32_t groups) const {
        for (int32_t g = 0; g < groups; ++g, out += 8, pcm += 4 * kChannels) {
            const auto* values = reinterpret_cast<const __m128i*>(pcm);
            AddFour<kChannels>(out,
                               kChannels == 2 ? _mm_loadu_si128(values) : _mm_loadl_epi64(values),
                               gains_, gains_);
        }
    }

  private:
    static int32_t Low(uint64_t position) {
        return static_cast<int32_t>(static_cast<uint32_t>(position));
    }
    static int16_t Half(int32_t gain) { return static_cast<int16_t>(gain >> 1); }
    static int16_t Rest(int32_t gain) { return static_cast<int16_t>(gain - (gain >> 1)); }

    // Interpolates the four frames at `frames`, whose positions' low 32 bits are the lanes
    // of `lows`, and adds them under the gains of frames 0 and 1 (`first`) and 2 and 3.
    template <int kChannels>
    static void MixFour(const int16_t* const* frames, __m128i lows, uint32_t* out, __m128i first,
                        __m128i second) {
        const __m128i fraction = _mm_srli_epi32(lows, 16);
        const __m128i fh = _mm_srli_epi32(fraction, 8);
        const __m128i fl = _mm_and_si128(fraction, _mm_set1_epi32(0xff));
        // Per frame, the 16-bit pairs [256 - fh, fh] and [-fl, fl].
        const __m128i coarse =
            _mm_add_epi32(_mm_sub_epi32(_mm_slli_epi32(fh, 16), fh), _mm_set1_epi32(256));
        const __m128i fine = _mm_sub_epi16(_mm_slli_epi32(fl, 16), fl);
        if constexpr (kChannels == 2) {
            const __m128i low =
                Interpolate(_mm_unpacklo_epi64(Pairs2(frames[0]), Pairs2(frames[1])),
                            _mm_unpacklo_epi32(coarse, coarse), _mm_unpacklo_epi32(fine, fine));
            const __m128i high =
                Interpolate(_mm_unpacklo_epi64(Pairs2(frames[2]), Pairs2(frames[3])),
                            _mm_unpackhi_epi32(coarse, coarse), _mm_unpackhi_epi32(fine, fine));
            AddFour<2>(out, _mm_packs_epi32(low, high), first, second);
        } else {
            const __m128i pairs =
                _mm_unpacklo_epi64(_mm_unpacklo_epi32(Pair1(frames[0]), Pair1(frames[1])),
                                   _mm_unpacklo_epi32(Pair1(frames[2]), Pair1(frames[3])));
            const __m128i values = Interpolate(pairs, coarse, fine);
            AddFour<1>(out, _mm_packs_epi32(values, values), first, second);
        }
    }
    // A stereo frame and the next, [aL aR bL bR], as [aL bL aR bR].
    static __m128i Pairs2(const int16_t* frame) {
        const __m128i both = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame));
        return _mm_shufflelo_epi16(both, _MM_SHUFFLE(3, 1, 2, 0));
    }
    // A mono frame and the next, [a b].
    static __m128i Pair1(const int16_t* frame) {
        int32_t both;
        std::memcpy(&both, frame, sizeof both);
        return _mm_cvtsi32_si128(both);
    }
    // 32-bit interpolated values of the [a, b] pairs under their [256 - fh, fh] and [-fl, fl]
    // weights.
    static __m128i Interpolate(__m128i pairs, __m128i coarse, __m128i fine) {
        const __m128i low = _mm_srai_epi32(_mm_madd_epi16(pairs, fine), 8);
        return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, coarse), low), 8);
    }
    // Adds four frames' 16-bit values (left, right, ... or, for mono, one each in the low
    // half) to their eight sums, under the [l1 l2 r1 r2] gain halves of frames 0 and 1
    // (`first`) and of frames 2 and 3.
    template <int kChannels>
    static void AddFour(uint32_t* out, __m128i values, __m128i first, __m128i second) {
        const __m128i doubled = _mm_unpacklo_epi16(values, values);
        if constexpr (kChannels == 2) {
            Add(out, doubled, first);
            Add(out + 4, _mm_unpackhi_epi16(values, values), second);
        } else {
            Add(out, _mm_unpacklo_epi32(doubled, doubled), first);
            Add(out + 4, _mm_unpackhi_epi32(doubled, doubled), second);
        }
    }
    // Adds gain × value >> 8 for four [v, v] pairs to four sums.
    static void Add(uint32_t* out, __m128i values, __m128i gains) {
        __m128i* sum = reinterpret_cast<__m128i*>(out);
        const __m128i scaled = _mm_srai_epi32(_mm_madd_epi16(values, gains), 8);
        _mm_storeu_si128(sum, _mm_add_epi32(_mm_loadu_si128(sum), scaled));
    }
    // Panning::At for the four volumes (16-bit values) in the lanes of `volumes`, as gain
    // halves for frames 0 and 1 (`first`) and 2 and 3 (`second`).
    void GainsAt(__m128i volumes, __m128i& first, __m128i& second) const {
        const __m128i left = Clamp(_mm_srai_epi32(_mm_madd_epi16(volumes, left_), 12));
        const __m128i right = _mm_srai_epi32(_mm_madd_epi16(volumes, right_), 12);
        const __m128i signed_right = Clamp(_mm_sub_epi32(_mm_xor_si128(right, invert_), invert_));
        const __m128i left_half = _mm_srai_epi32(left, 1),
                      right_half = _mm_srai_epi32(signed_right, 1);
        const __m128i halves = _mm_packs_epi32(left_half, right_half);
        const __m128i rests = _mm_packs_epi32(_mm_sub_epi32(left, left_half),
                                              _mm_sub_epi32(signed_right, right_half));
        const __m128i lefts = _mm_unpacklo_epi16(halves, rests);   // [l1 l2] per frame
        const __m128i rights = _mm_unpackhi_epi16(halves, rests);  // [r1 r2] per frame
        first = _mm_unpacklo_epi32(lefts, rights);
        second = _mm_unpackhi_epi32(lefts, rights);
    }
    // To -32768 .. 32768.
    static __m128i Clamp(__m128i gains) {
        const __m128i most = _mm_set1_epi32(32768), least = _mm_set1_epi32(-32768);
        const __m128i over = _mm_cmpgt_epi32(gains, most);
        gains = _mm_or_si128(_mm_andnot_si128(over, gains), _mm_and_si128(over, most));
        const __m128i under = _mm_cmplt_epi32(gains, least);
        return _mm_or_si128(_mm_andnot_si128(under, gains), _mm_and_si128(under, least));
    }

    __m128i left_;  // [pan share, 0]: pmaddwd with a 16-bit volume in a 32-bit lane
    __m128i right_;
    __m128i invert_;  // all ones when the right side is inverted
    __m128i gains_;   // [l1 l2 r1 r2] halves at the steady volume, for two frames
};
#endif

// Mixes `count` frames at constant gains and step, all of them before the end of the sound.
template <int kChannels, int kBits>
void MixSteady(const Reader<kChannels, kBits>& reader, uint64_t position, uint64_t advance,
               const Panning& panning, int32_t volume, uint32_t* out, int32_t count) {
    int32_t k = 0;
#if defined(__SSE2__)
    if constexpr (kBits == 16) {
        k = count & ~3;
        const Sse2Mix16 mix(panning, volume);
        if (advance == uint64_t{1} << 32 && static_cast<uint32_t>(position) == 0) {
            mix.MixConsecutive<kChannels>(reader.pcm16 + (position >> 32) * kChannels, out, k / 4);
            position += advance * static_cast<uint64_t>(k);
        } else {
            position = mix.Mix<kChannels>(reader.pcm16, position, advance, out, k / 4);
        }
        out += 2 * k;
    }
#endif
    const Gains gains = panning.At(volume);
    int32_t left, right;
    for (; k < count; ++k, out += 2) {
        reader.At(position, left, right);
        Accumulate(out, gains, left, right);
        position += advance;
    }
}

// Mixes `count` frames as `ramp` moves on, all of them before the end of the sound; returns
// the position after them.
template <int kChannels, int kBits>
uint64_t MixRamp(const Reader<kChannels, kBits>& reader, uint64_t position, Ramp& ramp,
                 const Panning& panning, uint32_t* out, int32_t count) {
    int32_t k = 0;
#if defined(__SSE2__)
    if constexpr (kBits == 16) {
        k = count & ~3;
        position =
            Sse2Mix16(panning, 0).MixRamp<kChannels>(reader.pcm16, position, ramp, out, k / 4);
        out += 2 * k;
    }
#endif
    int32_t left, right;
    for (; k < count; ++k, out += 2) {
        reader.At(position, left, right);
        Accumulate(out, panning.At(ramp.Volume()), left, right);
        position += ramp.Advance();
        ramp.Next();
    }
    return position;
}

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

// Mixes `frames` frames of one voice into `out`, ramping volume and step from their current
// to their target value across the frames. The frames go in runs that end where the sound
// may end or wrap, so that only the end of a run is tested.
template <int kChannels, int kBits>
void MixRun(const SonmixCoreSound& sound, VoiceRun& run, uint32_t* out, int32_t frames,
            int32_t volume, int32_t target_volume, int64_t step, int64_t target_step, int32_t pan,
            int32_t depth) {
    const Reader<kChannels, kBits> reader{sound.pcm16.data(), sound.pcm8.data()};
    const Panning panning(pan, depth);
    const bool steady = volume == target_volume && step == target_step;
    Ramp ramp{volume * 256, (target_volume - volume) * 256 / frames, step * 256,
              (target_step - step) * 256 / frames};
    // The step moves between its two ends, so no frame moves on further than this.
    const uint64_t longest = static_cast<uint64_t>(std::max(step, target_step)) << 16;
    for (int32_t i = 0; i < frames;) {
        const int32_t count = run.FramesBeforeEnd(longest, frames - i);
        uint64_t position = run.position;
        if (steady) {
            if (volume != 0) MixSteady(reader, position, longest, panning, volume, out, count);
            position += longest * static_cast<uint64_t>(count);
        } else {
            position = MixRamp(reader, position, ramp, panning, out, count);
        }
        out += 2 * count;
        i += count;
        run.advanced += position - run.position;
        run.position = position;
        if (!run.CheckEnd()) return;
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
