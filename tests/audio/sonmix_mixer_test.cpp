#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "audio/mixer/internal/sonmix_mixer.h"

namespace vexel {
namespace {

constexpr int32_t kNow = 100000;
constexpr int32_t kFrames = SonmixMixer::kBlockFrames;

// A 16-bit sound from signed values (interleaved when stereo).
SonmixSoundRef Sound16(const std::vector<int16_t>& values, int32_t hertz = 44100,
                       int32_t channels = 1, bool loop = false) {
    std::vector<uint8_t> bytes;
    for (const int16_t v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
    return SonmixCoreSound::Create(bytes.data(), static_cast<int32_t>(values.size()) / channels,
                                   hertz, channels, 16, loop);
}

SonmixSoundRef Constant(int16_t value, int32_t frames, bool loop = false) {
    return Sound16(std::vector<int16_t>(frames, value), 44100, 1, loop);
}

struct Block {
    std::array<int16_t, SonmixMixer::kBlockValues> values{};
    int16_t Left(int frame) const { return values[2 * frame]; }
    int16_t Right(int frame) const { return values[2 * frame + 1]; }
};

// Mixes one block at `now` (by default 20 ms after kNow, so a voice started at kNow has no
// start delay left).
Block Mix(SonmixMixer& mixer, int32_t now = kNow + 20) {
    Block block;
    mixer.MixBlock(block.values.data(), now);
    return block;
}

TEST(SonmixMixer, FullScaleAtVolumeOneReachesTheOutputUnchanged) {
    SonmixMixer mixer;
    ASSERT_NE(mixer.Start(Sound16({32767, -32768, -1234, 1, 0}), false, 0, kNow), 0u);
    const Block block = Mix(mixer);
    const int16_t expected[] = {32767, -32768, -1234, 1, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(block.Left(i), expected[i]) << i;
        EXPECT_EQ(block.Right(i), expected[i]) << i;
    }
    // A one-shot voice leaves the rest of the block silent.
    EXPECT_EQ(block.Left(5), 0);
    EXPECT_EQ(block.Right(kFrames - 1), 0);
}

TEST(SonmixMixer, VoicesAddAndTheSumClips) {
    SonmixMixer mixer;
    mixer.Start(Sound16({32767, -32768, 20000, 100}), false, 0, kNow);
    mixer.Start(Sound16({32767, -32768, 20000, -300}), false, 0, kNow);
    const Block block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 32767);
    EXPECT_EQ(block.Left(1), -32768);
    EXPECT_EQ(block.Left(2), 32767);
    EXPECT_EQ(block.Left(3), -200);
    EXPECT_EQ(block.Right(3), -200);
}

TEST(SonmixMixer, PanAndDepthScaleOrInvertOneSide) {
    SonmixMixer mixer;
    const auto sound = Constant(20000, 2 * kFrames);
    const uint32_t right_only = mixer.Start(sound, false, 0, kNow);
    mixer.SetPan(right_only, 4096);  // pan 1.0
    Block block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 0);
    EXPECT_EQ(block.Right(0), 20000);
    mixer.Stop(right_only);

    const uint32_t half_right = mixer.Start(sound, false, 0, kNow);
    mixer.SetPan(half_right, -2048);  // pan -0.5
    block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 20000);
    EXPECT_EQ(block.Right(0), 10000);
    mixer.Stop(half_right);

    const uint32_t inverted = mixer.Start(sound, false, 0, kNow);
    mixer.SetDepth(inverted, -4096);  // depth -1
    block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 20000);
    EXPECT_EQ(block.Right(0), -20000);
}

TEST(SonmixMixer, HalfRateSoundInterpolatesBetweenFrames) {
    SonmixMixer mixer;
    // 22050 Hz: each source frame spans two output frames.
    mixer.Start(Sound16({0, 1000, 2000, -1001, 7}, 22050), false, 0, kNow);
    const Block block = Mix(mixer);
    const int16_t expected[] = {0, 500, 1000, 1500, 2000, 499, -1001, -497, 7, 7};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(block.Left(i), expected[i]) << i;
    // The guard frame repeats the last frame, then the one-shot ends.
    EXPECT_EQ(block.Left(10), 0);
}

TEST(SonmixMixer, StereoAndEightBitLayouts) {
    SonmixMixer mixer;
    mixer.Start(Sound16({100, 100, 200, -200}, 44100, 2), false, 0, kNow);
    const uint8_t bytes8[] = {255, 0, 128, 129};
    mixer.Start(SonmixCoreSound::Create(bytes8, 2, 44100, 2, 8, false), false, 0, kNow);
    const Block block = Mix(mixer);
    // 8-bit u becomes (u - 128) × 256.
    EXPECT_EQ(block.Left(0), 100 + 127 * 256);
    EXPECT_EQ(block.Right(0), 100 - 128 * 256);
    EXPECT_EQ(block.Left(1), 200 + 0);
    EXPECT_EQ(block.Right(1), -200 + 256);
}

TEST(SonmixMixer, SoundsAtTheirOwnRatePlayEveryFrameInOrder) {
    std::vector<int16_t> stereo, mono;
    for (int i = 0; i < 601; ++i) {
        stereo.push_back(static_cast<int16_t>(i * 97 - 29000));
        stereo.push_back(static_cast<int16_t>(15000 - i * 53));
        mono.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    }
    SonmixMixer two, one;
    two.Start(Sound16(stereo, 44100, 2), false, 0, kNow);
    one.SetPan(one.Start(Sound16(mono), false, 0, kNow), -2048);
    const Block both = Mix(two);
    const Block single = Mix(one);
    for (int i = 0; i < 601; ++i) {
        ASSERT_EQ(both.Left(i), stereo[2 * i]) << i;
        ASSERT_EQ(both.Right(i), stereo[2 * i + 1]) << i;
        ASSERT_EQ(single.Left(i), mono[i]) << i;
        ASSERT_EQ(single.Right(i), mono[i] >> 1) << i;  // half volume on the right
    }
    EXPECT_EQ(both.Left(601), 0);
    EXPECT_EQ(single.Right(601), 0);
}

TEST(SonmixMixer, SetVolumeDuringPlayRampsOverTheNextBlock) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(16000, 4 * kFrames), false, 0, kNow);
    EXPECT_EQ(Mix(mixer).Left(kFrames - 1), 16000);
    mixer.SetVolume(handle, 2048);  // 0.5
    const Block ramp = Mix(mixer);
    EXPECT_EQ(ramp.Left(0), 16000);
    EXPECT_EQ(ramp.Left(512), 12000);         // volume 3072
    EXPECT_EQ(ramp.Left(kFrames - 1), 8007);  // volume 2050
    for (int i = 1; i < kFrames; ++i)
        ASSERT_LE(ramp.Left(i), ramp.Left(i - 1)) << i;
    const Block after = Mix(mixer);
    EXPECT_EQ(after.Left(0), 8000);
    EXPECT_EQ(after.Right(kFrames - 1), 8000);
}

TEST(SonmixMixer, VolumeSetRightAfterStartFadesOverTheFramesAfterTheDelay) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(16000, 4 * kFrames), false, 0, kNow);
    mixer.SetVolume(handle, 3072);  // the game's 0.75
    // Picked up at once: 20 ms = 882 frames of silence, then a ramp over 142 frames.
    const Block block = Mix(mixer, kNow);
    EXPECT_EQ(block.Left(881), 0);
    EXPECT_EQ(block.Left(882), 16000);
    EXPECT_GT(block.Left(kFrames - 1), 12000);
    EXPECT_EQ(Mix(mixer, kNow).Left(0), 12000);
}

TEST(SonmixMixer, StartDelayIsTwentyMillisecondsFromTheStart) {
    SonmixMixer mixer;
    const auto sound = Constant(1000, 4 * kFrames);
    mixer.Start(sound, false, 0, kNow);
    mixer.Start(sound, false, 0, kNow - 10);  // picked up 10 ms after its start
    mixer.Start(sound, false, 0, kNow - 30);  // picked up late: no delay left
    const Block block = Mix(mixer, kNow);
    EXPECT_EQ(block.Left(0), 1000);
    EXPECT_EQ(block.Left(440), 1000);
    EXPECT_EQ(block.Left(441), 2000);  // 10 × 44100 / 1000
    EXPECT_EQ(block.Left(881), 2000);
    EXPECT_EQ(block.Left(882), 3000);  // 20 × 44100 / 1000
}

TEST(SonmixMixer, StartDelayLongerThanABlockWaitsWholeBlocks) {
    SonmixMixer mixer;
    mixer.Start(Constant(1000, 4 * kFrames), false, 0, kNow + 30);  // 50 ms = 2205 frames
    EXPECT_EQ(Mix(mixer, kNow).Left(kFrames - 1), 0);
    EXPECT_EQ(Mix(mixer, kNow).Left(kFrames - 1), 0);
    const Block third = Mix(mixer, kNow);
    EXPECT_EQ(third.Left(2205 - 2 * kFrames - 1), 0);
    EXPECT_EQ(third.Left(2205 - 2 * kFrames), 1000);
}

TEST(SonmixMixer, LoopingVoiceWrapsAndInterpolatesIntoTheFirstFrame) {
    SonmixMixer mixer;
    std::vector<int16_t> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[i] = static_cast<int16_t>(10 * i + 10);
    const uint32_t plain = mixer.Start(Sound16(ramp, 44100, 1, true), false, 0, kNow);
    Block block = Mix(mixer);
    for (int i = 0; i < kFrames; ++i)
        ASSERT_EQ(block.Left(i), 10 * (i % 100) + 10) << i;
    EXPECT_EQ(mixer.Playing(plain), 1);
    mixer.Stop(plain);

    const uint32_t slow = mixer.Start(Sound16(ramp, 22050, 1, true), false, 0, kNow);
    block = Mix(mixer);
    EXPECT_EQ(block.Left(198), 1000);
    EXPECT_EQ(block.Left(199), 505);  // halfway from the last frame to the first
    EXPECT_EQ(block.Left(200), 10);
    EXPECT_EQ(mixer.Position(slow), 512);
}

TEST(SonmixMixer, OneShotOnImplicitHandleFreesItsVoice) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(500, 1500), false, 0, kNow);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(mixer.Playing(handle), 1);
    Mix(mixer);
    EXPECT_EQ(mixer.Playing(handle), 1);
    EXPECT_EQ(mixer.Position(handle), kFrames);
    const Block last = Mix(mixer);
    EXPECT_EQ(last.Left(1500 - kFrames - 1), 500);
    EXPECT_EQ(last.Left(1500 - kFrames), 0);
    EXPECT_EQ(mixer.Playing(handle), 0);
    // Its voice went back for reuse; the handle still answers, with nothing playing on it.
    const uint32_t next = mixer.Start(Constant(7, 10), false, 0, kNow);
    EXPECT_NE(next, 0u);
    EXPECT_EQ(mixer.Playing(handle), 0);
    EXPECT_EQ(Mix(mixer).Left(0), 7);
}

TEST(SonmixMixer, AllocatedChannelKeepsItsSettingsAndFinishesWithoutFreeing) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.AllocHandle();
    mixer.SetPan(handle, 4096);
    ASSERT_EQ(mixer.Start(Constant(300, 10), false, handle, kNow), handle);
    EXPECT_EQ(mixer.Playing(handle), 1);
    const Block block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 0);
    EXPECT_EQ(block.Right(0), 300);
    EXPECT_EQ(mixer.Playing(handle), 0);
    EXPECT_TRUE(mixer.HandleValid(handle));
}

TEST(SonmixMixer, PlayingOneChannelManyTimesRecyclesTheReplacedVoices) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.AllocHandle();
    const auto sound = Constant(1000, 4 * kFrames, true);
    // Far more plays than there can be voices: each replaced voice must be recycled.
    for (int i = 0; i < 3 * static_cast<int>(SonmixMixer::kMaxVoices); ++i) {
        ASSERT_EQ(mixer.Start(sound, false, handle, kNow), handle) << i;
        if (i % 64 == 0) Mix(mixer);
    }
    const Block block = Mix(mixer);
    EXPECT_EQ(block.Left(kFrames - 1), 1000);  // one voice sounds, not many
}

TEST(SonmixMixer, PausedVoiceIsSilentAndTakesSettingsAtOnce) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(4000, 4 * kFrames), true, 0, kNow);
    EXPECT_EQ(mixer.Playing(handle), 0);
    EXPECT_EQ(Mix(mixer).Left(0), 0);
    mixer.SetVolume(handle, 2048);
    mixer.SetPaused(handle, false);
    EXPECT_EQ(mixer.Playing(handle), 1);
    const Block block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 2000);  // no ramp: the volume was set while paused
    EXPECT_EQ(block.Left(kFrames - 1), 2000);
}

TEST(SonmixMixer, SettingsClampToSixteenBits) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(1000, 4 * kFrames), true, 0, kNow);
    mixer.SetVolume(handle, 10 * 4096);  // volume 10 must not wrap to a negative gain
    mixer.SetPaused(handle, false);
    EXPECT_EQ(Mix(mixer).Left(0), 7999);  // 32767 × 1000 >> 12
}

TEST(SonmixMixer, StaleHandlesDoNothing) {
    SonmixMixer mixer;
    const uint32_t old = mixer.AllocHandle();
    mixer.FreeHandle(old);
    const uint32_t renewed = mixer.AllocHandle();
    EXPECT_EQ(renewed & 0xfff, old & 0xfff);
    EXPECT_NE(renewed, old);
    EXPECT_FALSE(mixer.HandleValid(old));
    ASSERT_EQ(mixer.Start(Constant(2000, 4 * kFrames), false, renewed, kNow), renewed);
    mixer.SetVolume(old, 0);
    mixer.SetPaused(old, true);
    mixer.Stop(old);
    EXPECT_EQ(mixer.Playing(old), 0);
    EXPECT_EQ(mixer.Start(Constant(1, 10), false, old, kNow), 0u);
    EXPECT_EQ(mixer.Playing(renewed), 1);
    EXPECT_EQ(Mix(mixer).Left(0), 2000);
    EXPECT_FALSE(mixer.HandleValid(0));
}

TEST(SonmixMixer, AllHandlesInUseRefusesPlaysAndAllocations) {
    SonmixMixer mixer;
    for (int i = 0; i < 4095; ++i)
        ASSERT_NE(mixer.AllocHandle(), 0u) << i;
    EXPECT_EQ(mixer.AllocHandle(), 0u);
    EXPECT_EQ(mixer.Start(Constant(1, 10), false, 0, kNow), 0u);
}

TEST(SonmixMixer, SoundWithoutDataGivesItsHandleBack) {
    SonmixMixer mixer;
    const auto empty = SonmixCoreSound::Create(nullptr, 0, 44100, 1, 16, false);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(mixer.Start(empty, false, 0, kNow), 0u);
    // Every handle is still there.
    for (int i = 0; i < 4095; ++i)
        ASSERT_NE(mixer.AllocHandle(), 0u) << i;
}

TEST(SonmixMixer, ZeroVolumeStillAdvances) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Constant(3000, 1500), true, 0, kNow);
    mixer.SetVolume(handle, 0);
    mixer.SetPaused(handle, false);
    EXPECT_EQ(Mix(mixer).Left(0), 0);
    EXPECT_EQ(mixer.Position(handle), kFrames);
    Mix(mixer);
    EXPECT_EQ(mixer.Playing(handle), 0);
}

// One voice mixed frame by frame with the plain arithmetic, to hold the block mix (which
// works in runs and several frames at a time) against.
struct ModelVoice {
    SonmixSoundRef sound;
    int32_t volume = 4096, target_volume = 4096, rate = 65536, target_rate = 65536;
    int32_t pan = 0, depth = 0;
    uint64_t position = 0, advanced = 0;
    bool ended = false;

    int32_t Value(uint64_t at, int32_t channel) const {
        const size_t index = static_cast<size_t>(at >> 32) * sound->channels +
                             std::min(channel, sound->channels - 1);
        const int32_t fraction = static_cast<int32_t>((at >> 16) & 0xffff);
        if (sound->bits == 8) {
            const int32_t a = sound->pcm8[index], b = sound->pcm8[index + sound->channels];
            return (a - 128) * 256 + (((b - a) * fraction) >> 8);
        }
        const int32_t a = sound->pcm16[index], b = sound->pcm16[index + sound->channels];
        return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * fraction) >> 16);
    }

    void Mix(std::vector<int32_t>& sum) {
        const int64_t step = int64_t{rate} * sound->hertz / 44100;
        const int64_t target_step = int64_t{target_rate} * sound->hertz / 44100;
        const uint64_t end = static_cast<uint64_t>(sound->length) << 32;
        for (int32_t i = 0; i < kFrames && !ended; ++i) {
            const int32_t v = (volume * 256 + (target_volume - volume) * 256 / kFrames * i) >> 8;
            int32_t left = pan >= 1 ? (v * (4096 - pan)) >> 12 : v;
            int32_t right = pan < 0 ? (v * (4096 + pan)) >> 12 : v;
            if (depth < 0) right = -right;
            left = std::clamp(left, -32768, 32768);
            right = std::clamp(right, -32768, 32768);
            sum[2 * i] += (left * Value(position, 0)) >> 8;
            sum[2 * i + 1] += (right * Value(position, 1)) >> 8;
            const int64_t s = (step * 256 + (target_step - step) * 256 / kFrames * i) >> 8;
            position += static_cast<uint64_t>(s) << 16;
            advanced += static_cast<uint64_t>(s) << 16;
            if (position >= end) {
                if (sound->loop) {
                    position %= end;
                } else {
                    ended = true;
                }
            }
        }
        volume = target_volume;
        rate = target_rate;
    }
};

TEST(SonmixMixer, BlocksMatchTheFrameByFrameArithmetic) {
    std::mt19937 random(7);
    const auto pick = [&](int32_t low, int32_t high) {
        return low + static_cast<int32_t>(random() % static_cast<uint32_t>(high - low + 1));
    };
    const int32_t rates[] = {8000, 11025, 22050, 44100, 48000, 96000};
    for (int round = 0; round < 12; ++round) {
        SonmixMixer mixer;
        std::vector<ModelVoice> models(6);
        std::vector<uint32_t> handles;
        for (ModelVoice& model : models) {
            const int32_t channels = pick(1, 2), bits = pick(0, 3) == 0 ? 8 : 16;
            const int32_t length = pick(0, 3) == 0 ? pick(1, 9) : pick(10, 3000);
            std::vector<uint8_t> bytes(static_cast<size_t>(length) * channels * bits / 8);
            for (uint8_t& b : bytes)
                b = static_cast<uint8_t>(random());
            // Full-scale values at both ends now and then.
            if (bits == 16 && bytes.size() >= 4) bytes[1] = 0x80, bytes[0] = 0, bytes[3] = 0x7f;
            // The output rate half the time.
            const int32_t hertz = pick(0, 1) == 0 ? 44100 : rates[pick(0, 5)];
            model.sound = SonmixCoreSound::Create(bytes.data(), length, hertz, channels, bits,
                                                  pick(0, 1) == 1);
            handles.push_back(mixer.AllocHandle());
            ASSERT_NE(mixer.Start(model.sound, false, handles.back(), kNow), 0u);
        }
        for (int block = 0; block < 8; ++block) {
            for (size_t v = 0; v < models.size(); ++v) {
                ModelVoice& model = models[v];
                if (block > 0 && pick(0, 2) != 0) continue;  // keeps its settings: no ramp
                model.target_volume = pick(0, 4) == 0 ? pick(-32768, 32767) : pick(0, 8192);
                // The sound's own rate now and then, which plays whole frames without
                // interpolating.
                model.target_rate = pick(0, 6) == 0   ? 0
                                    : pick(0, 3) == 0 ? 65536
                                                      : pick(1, 3 * 65536);
                model.pan = pick(0, 4) == 0 ? pick(-32768, 32767) : pick(-4096, 4096);
                model.depth = pick(-4096, 4096);
                mixer.SetVolume(handles[v], model.target_volume);
                mixer.SetRate(handles[v], model.target_rate);
                mixer.SetPan(handles[v], model.pan);
                mixer.SetDepth(handles[v], model.depth);
            }
            std::vector<int32_t> sum(SonmixMixer::kBlockValues, 0);
            for (ModelVoice& model : models)
                model.Mix(sum);
            const Block mixed = Mix(mixer);
            for (int i = 0; i < SonmixMixer::kBlockValues; ++i) {
                const int16_t expected =
                    static_cast<int16_t>(std::clamp(sum[i] >> 4, -32768, 32767));
                ASSERT_EQ(mixed.values[i], expected)
                    << "round " << round << " block " << block << " value " << i;
            }
            for (size_t v = 0; v < models.size(); ++v) {
                ASSERT_EQ(mixer.Position(handles[v]),
                          static_cast<int64_t>(models[v].advanced >> 32))
                    << "round " << round << " voice " << v;
            }
        }
    }
}

TEST(SonmixMixer, SoundWithANegativeRateHoldsStill) {
    SonmixMixer mixer;
    const uint32_t handle = mixer.Start(Sound16({500, 600, 700}, -22050), false, 0, kNow);
    const Block block = Mix(mixer);
    EXPECT_EQ(block.Left(0), 500);
    EXPECT_EQ(block.Right(kFrames - 1), 500);
    EXPECT_EQ(mixer.Position(handle), 0);
    EXPECT_EQ(mixer.Playing(handle), 1);
}

TEST(SonmixCoreSound, GuardFrameRepeatsLastOrFirstFrame) {
    const uint8_t bytes[] = {1, 0, 2, 0, 3, 0, 4, 0};  // two stereo frames
    const auto once = SonmixCoreSound::Create(bytes, 2, 8000, 2, 16, false);
    EXPECT_EQ(once->pcm16, std::vector<int16_t>({1, 2, 3, 4, 3, 4}));
    const auto looped = SonmixCoreSound::Create(bytes, 2, 8000, 2, 16, true);
    EXPECT_EQ(looped->pcm16, std::vector<int16_t>({1, 2, 3, 4, 1, 2}));
    EXPECT_EQ(looped->bytes_per_frame, 4);
    EXPECT_EQ(SonmixCoreSound::Create(bytes, 2, 8000, 3, 16, false), nullptr);
}

}  // namespace
}  // namespace vexel
