#include <algorithm>
#include <cstring>

#include "audio/mixer/internal/sonmix_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexel {

namespace {

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
        : left(pan >= 1 ? kSonmixFullVolume - pan : kSonmixFullVolume),
          right(pan < 0 ? kSonmixFullVolume + pan : kSonmixFullVolume),
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
}  // namespace

void MixVoiceFrames(const SonmixCoreSound& sound, VoiceRun& run, uint32_t* out, int32_t frames,
                    int32_t volume, int32_t target_volume, int64_t step, int64_t target_step,
                    int32_t pan, int32_t depth) {
    const auto mix = sound.bits == 16 ? (sound.channels == 2 ? MixRun<2, 16> : MixRun<1, 16>)
                                      : (sound.channels == 2 ? MixRun<2, 8> : MixRun<1, 8>);
    mix(sound, run, out, frames, volume, target_volume, step, target_step, pan, depth);
}

void StoreAndClear(uint32_t* sums, int16_t* out) {
    constexpr int32_t count = SonmixMixer::kBlockValues;
    static_assert(count % 8 == 0);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int32_t i = 0; i < count; i += 8) {
        __m128i* sum = reinterpret_cast<__m128i*>(sums + i);
        const __m128i low = _mm_srai_epi32(_mm_loadu_si128(sum), 4);
        const __m128i high = _mm_srai_epi32(_mm_loadu_si128(sum + 1), 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
        _mm_storeu_si128(sum, zero);
        _mm_storeu_si128(sum + 1, zero);
    }
#else
    for (int32_t i = 0; i < count; ++i) {
        out[i] =
            static_cast<int16_t>(std::clamp(static_cast<int32_t>(sums[i]) >> 4, -32768, 32767));
        sums[i] = 0;
    }
#endif
}

}  // namespace vexel
