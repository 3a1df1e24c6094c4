// The mixer driver end to end: AUDIODEV names a FIFO, the test reads the device bytes.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "audio/audio_driver.h"
#include "audio/mixer/internal/sonmix_mixer.h"
#include "audio/mixer/sonmix_driver.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBlockBytes = 4096;

class SonmixOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fifo_ = dir_ / "dsp";
        ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
        // The reader must be there first: the driver does not wait for one.
        reader_ = open(fifo_.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader_, 0);
        setenv("AUDIODEV", fifo_.c_str(), 1);
        // A sound server, where the machine has one, would otherwise come first.
        setenv("VEXEL_AUDIO", "oss", 1);
        ResetAudioDriverSelection();
    }
    void TearDown() override {
        ResetAudioDriverSelection();
        unsetenv("VEXEL_AUDIO");
        if (reader_ >= 0) close(reader_);
    }

    // One 4096-byte block from the device, waiting at most two seconds.
    std::vector<uint8_t> ReadBlock() {
        std::vector<uint8_t> bytes(kBlockBytes);
        size_t done = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (done < bytes.size() && Clock::now() < deadline) {
            pollfd waiting{reader_, POLLIN, 0};
            poll(&waiting, 1, 50);
            const ssize_t n = read(reader_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<size_t>(n);
        }
        if (done != bytes.size()) ADD_FAILURE() << "the device delivered no block";
        return bytes;
    }

    testing::TempDir dir_;
    std::string fifo_;
    int reader_ = -1;
};

std::vector<uint8_t> AsBytes(const int16_t* values, int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(values[i]));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(values[i]) >> 8));
    }
    return bytes;
}

TEST_F(SonmixOutputTest, DriversAreListedNewestFirst) {
    // The built-in drivers end the list (tests may have registered newer ones before them);
    // OpenAL's library is installed wherever these tests run.
    const auto names = AudioDriverNames();
    ASSERT_GE(names.size(), 4u);
    const std::vector<String> tail(names.end() - 4, names.end());
    EXPECT_EQ(tail,
              std::vector<String>({u"Sonmix", u"Sonmix OpenSound System", u"OpenAL", u"Null"}));
}

TEST_F(SonmixOutputTest, DeviceBytesAreExactlyWhatTheCoreMixes) {
    // First use picks "Sonmix", which opens the FIFO.
    ASSERT_EQ(CurrentAudioDriver()->Name(), u"Sonmix");
    constexpr int32_t kLength = 2500;
    auto sample = NewAudioSample(kLength, 22050, SF_STEREO16LE);
    auto* values = reinterpret_cast<uint8_t*>(sample->samples);
    for (int32_t i = 0; i < 2 * kLength; ++i) {
        const int16_t v = static_cast<int16_t>((i * 37) % 30000 - 15000 + (i == 0 ? 15001 : 0));
        values[2 * i] = static_cast<uint8_t>(v);
        values[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    const auto sound = LoadSoundFile(sample, 0);
    ASSERT_NE(sound, nullptr);
    // Settings made on an allocated channel before the play: the voice starts from them
    // and ramps to the new volume in its first pass, whenever the mixer picks it up.
    const auto channel = AllocAudioChannel();
    ASSERT_NE(channel, nullptr);
    SetVolumeOf(channel, 0.75f);
    SetPanOf(channel, -0.25f);
    ASSERT_EQ(StartSound(sound, channel), channel);
    EXPECT_EQ(ChannelIsPlaying(channel), 1);

    // Silence until the block in which the voice was picked up.
    std::vector<uint8_t> block;
    size_t first = kBlockBytes;
    for (int i = 0; i < 200 && first == kBlockBytes; ++i) {
        block = ReadBlock();
        for (first = 0; first < block.size() && block[first] == 0; ++first) {
        }
    }
    ASSERT_LT(first, static_cast<size_t>(kBlockBytes));
    const int32_t delay_frames = static_cast<int32_t>(first / 4);
    // The delay left at pickup is whole milliseconds of the 20 ms, × 44100 / 1000.
    int32_t delay_millis = -1;
    for (int32_t ms = 0; ms <= 20; ++ms) {
        if (ms * 44100 / 1000 == delay_frames) delay_millis = ms;
    }
    ASSERT_GE(delay_millis, 0) << "no whole millisecond gives a delay of " << delay_frames;

    // The same voice through a core of our own, picked up with the same delay.
    SonmixMixer reference;
    const auto core = SonmixCoreSound::Create(sample->samples, kLength, 22050, 2, 16, false);
    const uint32_t handle = reference.AllocHandle();
    reference.SetVolume(handle, 3072);
    reference.SetPan(handle, -1024);
    reference.Start(core, false, handle, 0);
    int16_t expected[SonmixMixer::kBlockValues];
    // 5000 output frames at half rate: five blocks hold the voice and its silent end.
    for (int b = 0; b < 6; ++b) {
        reference.MixBlock(expected, 20 - delay_millis);
        if (b > 0) block = ReadBlock();
        ASSERT_EQ(block, AsBytes(expected, SonmixMixer::kBlockValues)) << "block " << b;
    }
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_EQ(std::static_pointer_cast<TSonmixChannel>(channel)->Position(), kLength);
}

TEST_F(SonmixOutputTest, ImplicitChannelPlaysOnceAndStopsPlaying) {
    ASSERT_EQ(SelectAudioDriver(u"SONMIX"), 1);
    // The mixer thread runs ahead of the reader by as much as the FIFO holds (16 blocks
    // by default), so the sound lasts far longer than that: it must still be playing when
    // asked right after the start, however the threads are scheduled.
    constexpr int kFrames = 100 * 1024;
    auto sample = NewAudioSample(kFrames, 44100, SF_MONO8);
    std::fill(sample->samples, sample->samples + kFrames, 200);
    const auto sound = LoadSoundFile(sample, 0);
    const auto channel = StartSound(sound, nullptr);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(ChannelIsPlaying(channel), 1);
    for (int i = 0; i < 300 && ChannelIsPlaying(channel) == 1; ++i)
        ReadBlock();
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
}

TEST_F(SonmixOutputTest, WithoutDeviceTheNullDriverTakesOver) {
    setenv("AUDIODEV", (dir_ / "missing").c_str(), 1);
    EXPECT_EQ(SelectAudioDriver(u"Sonmix"), 0);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    ResetAudioDriverSelection();
    const auto sound = LoadSoundFile(NewAudioSample(10, 44100, SF_MONO16LE), 0);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    const auto channel = StartSound(sound, nullptr);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
}

TEST_F(SonmixOutputTest, ShutdownEndsTheThreadWhileNobodyReads) {
    ASSERT_EQ(SelectAudioDriver(u"Sonmix"), 1);
    const auto sound = LoadSoundFile(NewAudioSample(44100, 44100, SF_MONO16LE), SOUND_LOOP);
    const auto channel = StartSound(sound, nullptr);
    // Let the FIFO fill up so that the thread waits for room.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Clock::now();
    ShutdownAudioDriver();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    // Channels of the closed output do nothing.
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_EQ(StartSound(sound, nullptr), nullptr);
}

TEST_F(SonmixOutputTest, ADeviceThatNeverBlocksIsFedAtThePaceOfPlaying) {
    // A regular file takes every block at once; the thread must still not run more than a
    // few blocks ahead of the time that has passed.
    const std::string file = dir_ / "dsp.raw";
    testing::WriteFileBytes(file, {});
    setenv("AUDIODEV", file.c_str(), 1);
    const auto start = Clock::now();
    ASSERT_EQ(SelectAudioDriver(u"Sonmix"), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ShutdownAudioDriver();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto bytes = static_cast<double>(std::filesystem::file_size(file));
    EXPECT_GE(bytes, kBlockBytes);
    // 44100 frames of 4 bytes a second, and the lead of four blocks plus the one in hand.
    EXPECT_LE(bytes, seconds * 44100 * 4 + 5 * kBlockBytes) << "over " << seconds << " s";
}

TEST_F(SonmixOutputTest, ReaderGoingAwayDoesNotEndTheProgram) {
    ASSERT_EQ(SelectAudioDriver(u"Sonmix"), 1);
    ReadBlock();
    close(reader_);
    reader_ = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto sound = LoadSoundFile(NewAudioSample(100, 44100, SF_MONO16LE), 0);
    const auto channel = StartSound(sound, nullptr);
    // Without a reader the writes fail, but the thread keeps the pace and the voice ends.
    for (int i = 0; i < 100 && ChannelIsPlaying(channel) == 1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
}

TEST(SonmixDriver, SampleFormatsAndForeignChannels) {
    const auto driver = TSonmixAudioDriver::Create(u"Sonmix Probe", 1);
    EXPECT_EQ(driver->Startup(), 0);  // only mode 0 exists
    EXPECT_EQ(driver->CreateSound(TAudioSample::CreateStatic(nullptr, 0, 44100, SF_NONE), 0),
              nullptr);
    const auto big_endian = NewAudioSample(2, 8000, SF_STEREO16BE);
    const uint8_t be[] = {0x12, 0x34, 0xff, 0xfe, 0, 1, 0, 2};
    std::copy(be, be + 8, big_endian->samples);
    const auto sound =
        std::dynamic_pointer_cast<TSonmixSound>(driver->CreateSound(big_endian, SOUND_LOOP));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->sm_sound->pcm16,
              std::vector<int16_t>({0x1234, -2, 1, 2, 0x1234, -2}));  // guard = first frame
    EXPECT_TRUE(sound->sm_sound->loop);
    // Not started: nothing plays.
    EXPECT_EQ(sound->Play(nullptr), nullptr);
    EXPECT_EQ(driver->AllocChannel(), nullptr);
}

}  // namespace
}  // namespace vexel
