// Aligned text and sound effects: the glyphs drawn into the recording driver, the channels of
// stand-in sounds, and the bytes the real mixer writes to its device.
#include "game/text_and_sound.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "audio/audio_sample.h"
#include "game_test_support.h"
#include "graphics/vex2d.h"

namespace morvelle::testing {
namespace {

using TextAndSound = GameTest;

TEST_F(TextAndSound, ToIntTruncatesTowardZero) {
    EXPECT_EQ(ToInt(512 * 0.55f), 281);
    EXPECT_EQ(ToInt(-1024 * 0.2f), -204);
    EXPECT_EQ(ToInt(1024 * 0.85f), 870);
    EXPECT_EQ(ToInt(512 * 0.85f), 435);
}

TEST_F(TextAndSound, DrawTextAlignedPlacesTheScaledTextAtTheAlignment) {
    // "abc" in the 8×16 font is 24 by 16 pixels; under the scale (2, 0.5) 48 by 8.
    vexel::SetDrawScale(2, 0.5f);
    TakeFrames();
    const std::pair<float, float> alignments[] = {{0, 0}, {0.5f, 0.5f}, {1, 1}};
    std::vector<DrawnFrame> first_glyphs;
    for (const auto& [align_x, align_y] : alignments) {
        DrawTextAligned(u"abc", 100.7f, 50.9f, align_x, align_y);
        first_glyphs.push_back(TakeFrames().front());
    }
    EXPECT_EQ(first_glyphs,
              (std::vector<DrawnFrame>{
                  {"glyph", 0, 100, 50}, {"glyph", 0, 76, 46}, {"glyph", 0, 52, 42}}));
    // Truncation toward zero on the left of the screen: -23.5 becomes -23, not -24.
    vexel::SetDrawScale(1, 1);
    DrawTextAligned(u"abc", 0.5f, 0, 1, 0);
    EXPECT_EQ(TakeFrames().front(), (DrawnFrame{"glyph", 0, -23, 0}));
}

TEST_F(TextAndSound, PlayEffectIsSilentWithSoundOffOrWithoutAChannel) {
    GameState& game = Game();
    game.SoundOn = 0;
    PlayEffect(game.Assets.ShotSound);
    EXPECT_EQ(Sound(game.Assets.ShotSound).starts, 0);
    game.SoundOn = 1;
    PlayEffect(game.Assets.ShotSound);
    EXPECT_EQ(Sound(game.Assets.ShotSound).starts, 1);
    EXPECT_EQ(Sound(game.Assets.ShotSound).sounding_volume, 0.75f);
    // A driver without a free voice gives no channel; nothing is set on it then.
    struct NoVoice : vexel::TSound {
        vexel::ChannelPtr Cue(const vexel::ChannelPtr&) override {
            ++starts;
            return nullptr;
        }
        int starts = 0;
    };
    const auto busy = std::make_shared<NoVoice>();
    PlayEffect(busy);
    EXPECT_EQ(busy->starts, 1);
}

// The mixer behind AUDIODEV, read back through a FIFO: the device bytes are what the player
// hears.
TEST_F(TextAndSound, AnEffectSoundsAtThreeQuartersFromItsFirstSample) {
    const vexel::testing::TempDir folder;
    const std::string fifo = folder / "dsp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    setenv("AUDIODEV", fifo.c_str(), 1);
    // The OSS output, even where a sound server answers.
    setenv("VEXEL_AUDIO", "oss", 1);
    vexel::ResetAudioDriverSelection();
    ASSERT_EQ(vexel::CurrentAudioDriver()->Name(), u"Sonmix");

    // A tenth of a second of one level, 16000, at the output's own rate.
    constexpr int32_t kFrames = 4410;
    const auto sample = vexel::NewAudioSample(kFrames, 44100, vexel::SF_MONO16LE);
    auto* bytes = static_cast<uint8_t*>(sample->samples);
    for (int32_t i = 0; i < kFrames; ++i) {
        bytes[2 * i] = 16000 & 0xFF;
        bytes[2 * i + 1] = 16000 >> 8;
    }
    PlayEffect(vexel::LoadSoundFile(sample, 0));

    // Everything the device carries until the sound has sounded a while: silence, then the
    // sound. Each stereo frame is two little-endian 16-bit values.
    std::vector<uint8_t> device;
    const auto value = [&device](size_t index) {
        return static_cast<int16_t>(device[2 * index] | device[2 * index + 1] << 8);
    };
    size_t first = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        while (2 * first + 1 < device.size() && value(first) == 0)
            ++first;
        if (device.size() > 2 * (first + 256)) break;
        uint8_t buffer[4096];
        pollfd waiting{reader, POLLIN, 0};
        poll(&waiting, 1, 50);
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n > 0) device.insert(device.end(), buffer, buffer + n);
    }
    vexel::ResetAudioDriverSelection();
    close(reader);
    unsetenv("AUDIODEV");
    unsetenv("VEXEL_AUDIO");
    ASSERT_GT(device.size(), 2 * (first + 256)) << "the device carried no sound";
    // 16000 × 0.75 on both sides from the first frame on, without a ramp down from full.
    std::vector<int16_t> sounded;
    for (const size_t index : {first, first + 1, first + 2, first + 3, first + 255})
        sounded.push_back(value(index));
    EXPECT_EQ(sounded, std::vector<int16_t>(5, 12000));
}

}  // namespace
}  // namespace morvelle::testing
