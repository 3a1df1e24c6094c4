// The generated sounds, decoded through the framework's Ogg Vorbis loader.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio_sample.h"
#include "data_files.h"
#include "support/test_support.h"

namespace morvelle_assets {
namespace {

struct Sound {
    const char* file;
    double min_seconds, max_seconds;
};

// What each sound is for bounds its length: interface and gun noises are short, reloading
// stays under half a second, and the farewell ends within the 1.8 s the program waits for it.
constexpr Sound kSounds[] = {
    {"klick.ogg", 0.03, 0.12}, {"peng.ogg", 0.2, 0.6}, {"noshot.ogg", 0.06, 0.25},
    {"reload.ogg", 0.2, 0.5},  {"high.ogg", 0.9, 2.0}, {"vote.ogg", 1.6, 1.8},
};

constexpr int32_t kFullScale = 32768;

int32_t SampleAt(const vexel::TAudioSample& s, int32_t frame, int32_t channel) {
    const int32_t channels = vexel::AudioFormatChannels(s.format);
    const uint8_t* p = s.samples + (static_cast<ptrdiff_t>(frame) * channels + channel) * 2;
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

// Largest magnitude of any channel over frames [first, last).
int32_t Peak(const vexel::TAudioSample& s, int32_t first, int32_t last) {
    int32_t peak = 0;
    for (int32_t i = std::max(first, 0); i < std::min(last, s.length); ++i)
        for (int32_t c = 0; c < vexel::AudioFormatChannels(s.format); ++c)
            peak = std::max(peak, std::abs(SampleAt(s, i, c)));
    return peak;
}

TEST(Sounds, EachDecodesAtTheMixerRateWithinItsLengthBelowFullScale) {
    for (const Sound& sound : kSounds) {
        SCOPED_TRACE(sound.file);
        const vexel::AudioSamplePtr s =
            vexel::LoadAudioSampleFile(DataPath(std::string("sfx/") + sound.file));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->hertz, 44100);
        ASSERT_TRUE(s->format == vexel::SF_STEREO16LE || s->format == vexel::SF_MONO16LE);
        const double seconds = static_cast<double>(s->length) / s->hertz;
        EXPECT_GE(seconds, sound.min_seconds);
        EXPECT_LE(seconds, sound.max_seconds);
        // Loud enough to hear at the game's effect volume, with headroom for the mixer.
        const int32_t peak = Peak(*s, 0, s->length);
        EXPECT_GT(peak, kFullScale / 4);
        EXPECT_LT(peak, kFullScale * 9 / 10);
    }
}

TEST(Sounds, EachStartsAndEndsInSilence) {
    // A sound that starts or stops on a step clicks; the first and last milliseconds stay
    // near zero.
    for (const Sound& sound : kSounds) {
        SCOPED_TRACE(sound.file);
        const vexel::AudioSamplePtr s =
            vexel::LoadAudioSampleFile(DataPath(std::string("sfx/") + sound.file));
        ASSERT_NE(s, nullptr);
        const int32_t millisecond = s->hertz / 1000;
        EXPECT_LT(std::abs(SampleAt(*s, 0, 0)), kFullScale / 200);
        EXPECT_LT(Peak(*s, 0, millisecond / 4), kFullScale / 50);
        EXPECT_LT(Peak(*s, s->length - 5 * millisecond, s->length), kFullScale / 200);
    }
}

TEST(Sounds, SynthesiserWritesTheSameBytesEveryRun) {
    // The build may re-run the synthesiser at any time; a rebuilt game must sound the same and
    // a package must be reproducible, so nothing may depend on time, memory or the run.
    vexel::testing::TempDir dir;
    for (const char* name : {"klick", "vote"}) {
        const std::string first = dir / (std::string(name) + "-1.ogg");
        const std::string second = dir / (std::string(name) + "-2.ogg");
        ASSERT_EQ(vexel::testing::RunProcess({MORVELLE_SFX, name, first}).status, 0);
        ASSERT_EQ(vexel::testing::RunProcess({MORVELLE_SFX, name, second}).status, 0);
        const std::vector<uint8_t> bytes = vexel::testing::ReadFileBytes(first);
        EXPECT_GT(bytes.size(), 1000u) << name;
        EXPECT_EQ(bytes, vexel::testing::ReadFileBytes(second)) << name;
        EXPECT_EQ(bytes, vexel::testing::ReadFileBytes(std::string(MORVELLE_DATA_DIR) + "/sfx/" +
                                                       name + ".ogg"))
            << name;
    }
    // An unknown name is refused without writing anything.
    const std::string stray = dir / "stray.ogg";
    const auto refused = vexel::testing::RunProcess({MORVELLE_SFX, "bang", stray});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("no sound named 'bang'"), std::string::npos) << refused.err;
    EXPECT_TRUE(vexel::testing::ReadFileBytes(stray).empty());
}

}  // namespace
}  // namespace morvelle_assets
