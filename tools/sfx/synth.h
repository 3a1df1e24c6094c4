// Small building blocks for synthesising the game's sound effects offline: a stereo buffer,
// oscillators, envelopes, filters and a room reverb. Everything is deterministic (the noise
// comes from a seeded generator), so the same program always renders the same samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sfx {

inline constexpr int kRate = 44100;
inline constexpr double kPi = 3.14159265358979323846;

// Seconds to whole frames at kRate.
size_t Frames(double seconds);

// Two channels of float samples, nominally within -1 .. 1.
struct Stereo {
    std::vector<float> left, right;

    explicit Stereo(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t size() const { return left.size(); }
    // Adds a mono voice starting at `start` seconds, placed by `pan` (-1 left .. 1 right)
    // with an equal-power law; the buffer grows to hold it.
    void Add(const std::vector<float>& voice, double start, float gain, float pan = 0.0f);
    void Add(const Stereo& other, double start, float gain);
};

// White noise from a 32-bit xorshift generator with a fixed seed.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
    // Uniform in -1 .. 1.
    float Next();

  private:
    uint32_t state_;
};

// A frequency that changes over a voice's life: start, end and the curve between them
// (exponential glide when both are positive, reached after `glide` seconds).
struct Glide {
    double from_hz, to_hz, glide;
    double At(double t) const;
};

// Attack-then-exponential-decay envelope: a raised-cosine rise over `attack` seconds, then
// e^(-t / decay). Zero after `length` seconds, reached with a short cosine fade so that a
// voice never stops on a step.
struct Envelope {
    double attack, decay, length;
    float At(double t) const;
};

enum class Wave { kSine, kTriangle, kSaw, kSquare };

// A band-limited oscillator voice (polyBLEP for the edges of saw and square).
std::vector<float> Tone(Wave wave, const Glide& pitch, const Envelope& env, double vibrato_hz = 0,
                        double vibrato_depth = 0);
// Enveloped white noise.
std::vector<float> NoiseBurst(uint32_t seed, const Envelope& env);
// A two-operator FM voice (the modulator's index decays with `index_decay` seconds), good for
// bells and mallets.
std::vector<float> Fm(double carrier_hz, double ratio, double index, double index_decay,
                      const Envelope& env);

// Second-order filter sections after the well-known audio cookbook formulas.
class Biquad {
  public:
    enum class Kind { kLowPass, kHighPass, kBandPass };
    Biquad(Kind kind, double hz, double q) : kind_(kind), q_(q) { Tune(hz); }
    void Tune(double hz);
    float Process(float x);

  private:
    Kind kind_;
    double q_;
    double b0_ = 0, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Runs a voice through a filter whose cutoff follows `cutoff` over time.
void Filter(std::vector<float>& voice, Biquad::Kind kind, const Glide& cutoff, double q);

// A small room: parallel damped combs into series all-passes per channel, with the channels'
// delays apart so the tail is wide. `mix` is the wet level added to the dry signal.
void Reverb(Stereo& sound, float room, float damp, float mix);

// Final shaping: removes any DC offset, scales the loudest sample to `peak`, fades the first
// `fade_in` and the last `fade_out` seconds with a raised cosine, and pads 3 ms of silence
// before (so the codec's pre-echo of a sharp attack stays quiet) and `tail` seconds after.
void Master(Stereo& sound, float peak, double fade_in, double fade_out, double tail);

}  // namespace sfx
