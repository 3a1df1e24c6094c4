#include "sounds.h"

#include <array>
#include <cmath>

namespace sfx {

namespace {

using Kind = Biquad::Kind;

// A short band of noise around `hz`: the attack of every click and knock.
std::vector<float> Tick(uint32_t seed, double hz, double q, double decay) {
    std::vector<float> tick = NoiseBurst(seed, {0.0004, decay, decay * 8});
    Filter(tick, Kind::kBandPass, {hz, hz, 0}, q);
    return tick;
}

// A ringing partial of a struck object.
std::vector<float> Partial(double hz, double decay) {
    return Tone(Wave::kSine, {hz, hz, 0}, {0.0006, decay, decay * 7});
}

// Interface click: a bright tick on a small wooden body.
Stereo Klick() {
    Stereo sound(Frames(0.07));
    sound.Add(Tick(11, 4200, 1.4, 0.0025), 0, 1.2f);
    sound.Add(Tone(Wave::kSine, {1500, 1150, 0.02}, {0.0008, 0.012, 0.06}), 0, 0.55f);
    sound.Add(Tone(Wave::kTriangle, {520, 420, 0.03}, {0.001, 0.016, 0.06}), 0, 0.4f);
    Reverb(sound, 0.55f, 0.5f, 0.12f);
    Master(sound, 0.45f, 0.001, 0.012, 0.004);
    return sound;
}

// The cherry gun: a pneumatic pop with a hollow body, a short thump and the cartoon twang of
// the stone leaving.
Stereo Peng() {
    Stereo sound(Frames(0.42));
    std::vector<float> pop = NoiseBurst(23, {0.0005, 0.010, 0.07});
    Filter(pop, Kind::kHighPass, {1400, 1400, 0}, 0.7);
    sound.Add(pop, 0, 1.0f);
    // The body sits where small speakers still play it; only a short thump goes lower.
    sound.Add(Tone(Wave::kSine, {640, 290, 0.045}, {0.001, 0.03, 0.16}), 0, 0.6f);
    sound.Add(Tone(Wave::kSine, {260, 90, 0.06}, {0.001, 0.04, 0.16}), 0, 0.55f);
    std::vector<float> twang =
        Tone(Wave::kTriangle, {1700, 380, 0.17}, {0.003, 0.065, 0.24}, 28, 0.015);
    Filter(twang, Kind::kLowPass, {3200, 3200, 0}, 0.7);
    sound.Add(twang, 0.004, 0.3f, 0.15f);
    std::vector<float> air = NoiseBurst(29, {0.002, 0.045, 0.2});
    Filter(air, Kind::kLowPass, {7000, 700, 0.18}, 1.2);
    sound.Add(air, 0.002, 0.45f, -0.15f);
    Reverb(sound, 0.74f, 0.35f, 0.3f);
    Master(sound, 0.75f, 0.001, 0.05, 0.005);
    return sound;
}

// One metallic click of the trigger mechanism.
Stereo DryClick(uint32_t seed, double band, double ring) {
    Stereo click;
    click.Add(Tick(seed, band, 2.5, 0.0018), 0, 1.4f);
    click.Add(Partial(ring, 0.012), 0, 0.3f);
    click.Add(Partial(ring * 1.51, 0.009), 0, 0.2f);
    click.Add(Partial(ring * 2.3, 0.006), 0, 0.12f);
    return click;
}

// The empty magazine: trigger, then the hammer falling on nothing.
Stereo NoShot() {
    Stereo sound(Frames(0.13));
    sound.Add(DryClick(31, 3100, 2750), 0, 0.7f);
    sound.Add(DryClick(37, 2300, 2050), 0.042, 1.0f);
    Reverb(sound, 0.4f, 0.6f, 0.05f);
    Master(sound, 0.5f, 0.001, 0.02, 0.004);
    return sound;
}

// Reloading: cherry stones rattle into the magazine, the slide goes forward and locks.
Stereo Reload() {
    Stereo sound(Frames(0.4));
    std::vector<float> slide = NoiseBurst(41, {0.11, 0.02, 0.15});
    Filter(slide, Kind::kBandPass, {900, 3400, 0.14}, 2.0);
    sound.Add(slide, 0, 0.6f, -0.2f);
    // The rattle: quick ticks growing louder as the stones roll in.
    for (int i = 0; i < 8; ++i) {
        const double at = 0.015 + i * 0.0135 + (i % 3) * 0.002;
        sound.Add(Tick(43 + i, 2600 + 350 * (i % 4), 3.0, 0.0015), at, 0.25f + 0.06f * i,
                  0.1f * ((i % 3) - 1));
    }
    // Slide forward: a hard clack with a hollow body.
    sound.Add(Tick(53, 2400, 1.2, 0.004), 0.17, 1.3f);
    sound.Add(Tone(Wave::kSine, {720, 610, 0.03}, {0.001, 0.02, 0.12}), 0.17, 0.45f);
    sound.Add(Tone(Wave::kSine, {170, 120, 0.05}, {0.001, 0.03, 0.12}), 0.17, 0.6f);
    // Lock: a higher, lighter click.
    sound.Add(Tick(59, 3900, 2.0, 0.003), 0.265, 1.0f, 0.15f);
    sound.Add(Partial(1560, 0.02), 0.265, 0.3f, 0.15f);
    sound.Add(Partial(2380, 0.014), 0.265, 0.15f, 0.15f);
    Reverb(sound, 0.6f, 0.45f, 0.15f);
    Master(sound, 0.6f, 0.001, 0.03, 0.01);
    return sound;
}

// A brass-like note: two slightly detuned saws through a low-pass that opens on the attack.
std::vector<float> Brass(double hz, double length, double decay, double brightness) {
    const Envelope env{0.018, decay, length};
    std::vector<float> note = Tone(Wave::kSaw, {hz * 1.0025, hz * 1.0025, 0}, env, 5.2, 0.003);
    const std::vector<float> second =
        Tone(Wave::kSaw, {hz * 0.9975, hz * 0.9975, 0}, env, 4.7, 0.003);
    for (size_t i = 0; i < note.size(); ++i)
        note[i] = (note[i] + second[i]) * 0.5f;
    Filter(note, Kind::kLowPass, {hz * brightness, hz * 2.5, 0.35}, 0.9);
    return note;
}

// New high score: a rising call and a held major chord with a little sparkle on top.
Stereo High() {
    Stereo sound(Frames(1.45));
    constexpr double kG4 = 392.00, kC5 = 523.25, kE5 = 659.26, kG5 = 783.99, kC6 = 1046.50;
    const std::array<double, 3> call = {kG4, kC5, kE5};
    for (size_t i = 0; i < call.size(); ++i)
        sound.Add(Brass(call[i], 0.13, 0.16, 9), 0.11 * i, 0.55f, -0.1f + 0.1f * i);
    const double chord = 0.33;
    sound.Add(Brass(kG5, 1.05, 0.55, 8), chord, 0.55f, 0.0f);
    sound.Add(Brass(kE5, 1.05, 0.5, 7), chord, 0.4f, -0.35f);
    sound.Add(Brass(kC5, 1.05, 0.5, 7), chord, 0.4f, 0.35f);
    sound.Add(Brass(kC5 / 2, 1.05, 0.45, 6), chord, 0.35f, 0.0f);
    sound.Add(Fm(kC6 * 2, 2.0, 1.2, 0.05, {0.002, 0.18, 0.9}), chord + 0.01, 0.1f, 0.4f);
    sound.Add(Fm(kG5 * 2, 2.0, 1.2, 0.05, {0.002, 0.16, 0.8}), chord + 0.08, 0.08f, -0.4f);
    Reverb(sound, 0.8f, 0.4f, 0.45f);
    Master(sound, 0.6f, 0.001, 0.3, 0.01);
    return sound;
}

// The audio example's chime: a bright FM bell over a sine an octave below, short enough to
// play many times over.
Stereo Chime() {
    Stereo sound(Frames(0.45));
    constexpr double kE5 = 659.26, kE6 = 1318.51;
    sound.Add(Fm(kE6, 3.5, 1.4, 0.08, {0.002, 0.12, 0.35}), 0.0, 0.5f);
    sound.Add(Tone(Wave::kSine, {kE5, kE5, 0}, {0.003, 0.25, 0.4}), 0.0, 0.5f);
    Master(sound, 0.7f, 0.001, 0.05, 0.01);
    return sound;
}

// A soft wooden mallet: an FM strike over a sine that rings on.
std::vector<float> Mallet(double hz, double ring) {
    std::vector<float> strike = Fm(hz, 4.0, 1.8, 0.03, {0.002, ring * 0.4, ring * 5});
    const std::vector<float> body = Tone(Wave::kSine, {hz, hz, 0}, {0.003, ring, ring * 5});
    std::vector<float> note(std::max(strike.size(), body.size()), 0.0f);
    for (size_t i = 0; i < note.size(); ++i)
        note[i] =
            (i < strike.size() ? strike[i] * 0.5f : 0.0f) + (i < body.size() ? body[i] : 0.0f);
    return note;
}

// Farewell: a descending phrase that settles on a quiet chord and dies away in 1.75 s.
Stereo Vote() {
    Stereo sound(Frames(1.74));
    constexpr double kC4 = 261.63, kG4 = 392.00, kC5 = 523.25, kE5 = 659.26, kG5 = 783.99;
    sound.Add(Mallet(kG5, 0.2), 0.0, 0.5f, 0.25f);
    sound.Add(Mallet(kE5, 0.2), 0.17, 0.5f, 0.0f);
    sound.Add(Mallet(kC5, 0.22), 0.34, 0.55f, -0.25f);
    const double chord = 0.56;
    sound.Add(Mallet(kC4, 0.38), chord, 0.5f, 0.0f);
    sound.Add(Mallet(kG4, 0.34), chord + 0.012, 0.35f, -0.3f);
    sound.Add(Mallet(kC5, 0.32), chord + 0.024, 0.3f, 0.3f);
    sound.Add(Mallet(kE5, 0.3), chord + 0.036, 0.22f, 0.0f);
    sound.left.resize(Frames(1.74));
    sound.right.resize(Frames(1.74));
    Reverb(sound, 0.84f, 0.35f, 0.5f);
    Master(sound, 0.55f, 0.001, 0.45, 0.01);
    return sound;
}

constexpr std::array<SoundDesign, 7> kSounds = {{
    {"klick", Klick},
    {"peng", Peng},
    {"noshot", NoShot},
    {"reload", Reload},
    {"high", High},
    {"vote", Vote},
    {"chime", Chime},
}};

}  // namespace

const SoundDesign* FindSound(std::string_view name) {
    for (const SoundDesign& sound : kSounds)
        if (sound.name == name) return &sound;
    return nullptr;
}

}  // namespace sfx
