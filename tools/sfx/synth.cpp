#include "synth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sfx {

size_t Frames(double seconds) {
    return seconds <= 0 ? 0 : static_cast<size_t>(std::lround(seconds * kRate));
}

void Stereo::Add(const std::vector<float>& voice, double start, float gain, float pan) {
    const size_t offset = Frames(start);
    if (offset + voice.size() > size()) {
        left.resize(offset + voice.size(), 0.0f);
        right.resize(offset + voice.size(), 0.0f);
    }
    const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * kPi / 4;
    const float to_left = gain * static_cast<float>(std::cos(angle) * std::sqrt(2.0));
    const float to_right = gain * static_cast<float>(std::sin(angle) * std::sqrt(2.0));
    for (size_t i = 0; i < voice.size(); ++i) {
        left[offset + i] += voice[i] * to_left;
        right[offset + i] += voice[i] * to_right;
    }
}

void Stereo::Add(const Stereo& other, double start, float gain) {
    const size_t offset = Frames(start);
    if (offset + other.size() > size()) {
        left.resize(offset + other.size(), 0.0f);
        right.resize(offset + other.size(), 0.0f);
    }
    for (size_t i = 0; i < other.size(); ++i) {
        left[offset + i] += other.left[i] * gain;
        right[offset + i] += other.right[i] * gain;
    }
}

float Noise::Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_ / 2147483647.5 - 1.0);
}

double Glide::At(double t) const {
    if (glide <= 0 || t >= glide) return to_hz;
    if (t <= 0) return from_hz;
    return from_hz * std::pow(to_hz / from_hz, t / glide);
}

float Envelope::At(double t) const {
    if (t < 0 || t >= length) return 0.0f;
    double level = 1.0;
    if (attack > 0 && t < attack) level = 0.5 - 0.5 * std::cos(kPi * t / attack);
    if (decay > 0 && t > attack) level = std::exp(-(t - attack) / decay);
    const double fade = std::min(0.005, length * 0.1);
    const double left = length - t;
    if (left < fade) level *= 0.5 - 0.5 * std::cos(kPi * left / fade);
    return static_cast<float>(level);
}

namespace {

// The polyBLEP residual that rounds off a unit step at phase 0 of a wrapping ramp.
double PolyBlep(double phase, double step) {
    if (phase < step) {
        const double x = phase / step;
        return x + x - x * x - 1.0;
    }
    if (phase > 1.0 - step) {
        const double x = (phase - 1.0) / step;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double WaveAt(Wave wave, double phase, double step) {
    switch (wave) {
        case Wave::kSine:
            return std::sin(2 * kPi * phase);
        case Wave::kTriangle:
            return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
        case Wave::kSaw:
            return 2 * phase - 1 - PolyBlep(phase, step);
        case Wave::kSquare: {
            const double half = phase + 0.5 - std::floor(phase + 0.5);
            return (phase < 0.5 ? 1.0 : -1.0) + PolyBlep(phase, step) - PolyBlep(half, step);
        }
    }
    return 0.0;
}

}  // namespace

std::vector<float> Tone(Wave wave, const Glide& pitch, const Envelope& env, double vibrato_hz,
                        double vibrato_depth) {
    std::vector<float> voice(Frames(env.length));
    double phase = 0;
    for (size_t i = 0; i < voice.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double hz = pitch.At(t);
        if (vibrato_hz > 0) hz *= 1.0 + vibrato_depth * std::sin(2 * kPi * vibrato_hz * t);
        const double step = hz / kRate;
        voice[i] = static_cast<float>(WaveAt(wave, phase, step)) * env.At(t);
        phase += step;
        phase -= std::floor(phase);
    }
    return voice;
}

std::vector<float> NoiseBurst(uint32_t seed, const Envelope& env) {
    std::vector<float> voice(Frames(env.length));
    Noise noise(seed);
    for (size_t i = 0; i < voice.size(); ++i)
        voice[i] = noise.Next() * env.At(static_cast<double>(i) / kRate);
    return voice;
}

std::vector<float> Fm(double carrier_hz, double ratio, double index, double index_decay,
                      const Envelope& env) {
    std::vector<float> voice(Frames(env.length));
    for (size_t i = 0; i < voice.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double depth = index * std::exp(-t / index_decay);
        const double modulator = std::sin(2 * kPi * carrier_hz * ratio * t);
        voice[i] =
            static_cast<float>(std::sin(2 * kPi * carrier_hz * t + depth * modulator)) * env.At(t);
    }
    return voice;
}

void Biquad::Tune(double hz) {
    const double w = 2 * kPi * std::clamp(hz, 10.0, kRate * 0.45) / kRate;
    const double alpha = std::sin(w) / (2 * q_);
    const double c = std::cos(w);
    double b0 = 0, b1 = 0, b2 = 0;
    switch (kind_) {
        case Kind::kLowPass:
            b0 = b2 = (1 - c) / 2;
            b1 = 1 - c;
            break;
        case Kind::kHighPass:
            b0 = b2 = (1 + c) / 2;
            b1 = -(1 + c);
            break;
        case Kind::kBandPass:
            b0 = alpha;
            b1 = 0;
            b2 = -alpha;
            break;
    }
    const double a0 = 1 + alpha;
    b0_ = b0 / a0;
    b1_ = b1 / a0;
    b2_ = b2 / a0;
    a1_ = -2 * c / a0;
    a2_ = (1 - alpha) / a0;
}

float Biquad::Process(float x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return static_cast<float>(y);
}

void Filter(std::vector<float>& voice, Biquad::Kind kind, const Glide& cutoff, double q) {
    Biquad filter(kind, cutoff.At(0), q);
    for (size_t i = 0; i < voice.size(); ++i) {
        // Retuning every 16 frames is smooth enough for the sweeps used here.
        if (i % 16 == 0) filter.Tune(cutoff.At(static_cast<double>(i) / kRate));
        voice[i] = filter.Process(voice[i]);
    }
}

namespace {

class Comb {
  public:
    explicit Comb(size_t length) : buffer_(length, 0.0f) {}
    float Process(float x, float feedback, float damp) {
        const float out = buffer_[index_];
        store_ = out * (1 - damp) + store_ * damp;
        buffer_[index_] = x + store_ * feedback;
        index_ = (index_ + 1) % buffer_.size();
        return out;
    }

  private:
    std::vector<float> buffer_;
    size_t index_ = 0;
    float store_ = 0;
};

class AllPass {
  public:
    explicit AllPass(size_t length) : buffer_(length, 0.0f) {}
    float Process(float x) {
        const float delayed = buffer_[index_];
        buffer_[index_] = x + delayed * 0.5f;
        index_ = (index_ + 1) % buffer_.size();
        return delayed - x;
    }

  private:
    std::vector<float> buffer_;
    size_t index_ = 0;
};

// Reverberates one channel of the mono sum; `spread` detunes the delays per channel.
std::vector<float> ReverbChannel(const std::vector<float>& input, size_t spread, float room,
                                 float damp) {
    constexpr std::array<size_t, 6> kCombs = {1116, 1188, 1277, 1356, 1422, 1557};
    constexpr std::array<size_t, 3> kAllPasses = {556, 441, 341};
    std::vector<Comb> combs;
    for (const size_t length : kCombs)
        combs.emplace_back(length + spread);
    std::vector<AllPass> allpasses;
    for (const size_t length : kAllPasses)
        allpasses.emplace_back(length + spread);
    std::vector<float> out(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        float sum = 0;
        for (Comb& comb : combs)
            sum += comb.Process(input[i], room, damp);
        for (AllPass& allpass : allpasses)
            sum = allpass.Process(sum);
        out[i] = sum;
    }
    return out;
}

}  // namespace

void Reverb(Stereo& sound, float room, float damp, float mix) {
    std::vector<float> mono(sound.size());
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = (sound.left[i] + sound.right[i]) * 0.02f;
    const std::vector<float> wet_left = ReverbChannel(mono, 0, room, damp);
    const std::vector<float> wet_right = ReverbChannel(mono, 23, room, damp);
    for (size_t i = 0; i < mono.size(); ++i) {
        sound.left[i] += wet_left[i] * mix;
        sound.right[i] += wet_right[i] * mix;
    }
}

void Master(Stereo& sound, float peak, double fade_in, double fade_out, double tail) {
    // A gentle high-pass at 25 Hz takes out offsets and sub-bass that only waste headroom.
    for (std::vector<float>* channel : {&sound.left, &sound.right}) {
        Biquad high_pass(Biquad::Kind::kHighPass, 25.0, 0.7071);
        for (float& x : *channel)
            x = high_pass.Process(x);
    }
    float loudest = 0;
    for (size_t i = 0; i < sound.size(); ++i)
        loudest = std::max({loudest, std::fabs(sound.left[i]), std::fabs(sound.right[i])});
    const float gain = loudest > 0 ? peak / loudest : 0.0f;
    const size_t in = Frames(fade_in), out = std::min(Frames(fade_out), sound.size());
    for (size_t i = 0; i < sound.size(); ++i) {
        float level = gain;
        if (i < in) level *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / in));
        const size_t left = sound.size() - 1 - i;
        if (left < out) level *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * left / out));
        sound.left[i] *= level;
        sound.right[i] *= level;
    }
    const size_t lead = Frames(0.003);
    for (std::vector<float>* channel : {&sound.left, &sound.right}) {
        channel->insert(channel->begin(), lead, 0.0f);
        channel->resize(channel->size() + Frames(tail), 0.0f);
    }
}

}  // namespace sfx
