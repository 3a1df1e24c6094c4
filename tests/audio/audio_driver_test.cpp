#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/audio_driver.h"

namespace vexel {
namespace {

// A driver that records what the registry asks of it.
class ProbeDriver : public TAudioDriver {
  public:
    ProbeDriver(String name, int32_t startup_result)
        : name_(std::move(name)), startup_result_(startup_result) {}
    static std::shared_ptr<ProbeDriver> Create(String name, int32_t startup_result) {
        auto driver = std::make_shared<ProbeDriver>(std::move(name), startup_result);
        RegisterAudioDriver(driver);
        return driver;
    }
    String Name() override { return name_; }
    int32_t Startup() override {
        ++startups;
        return startup_result_;
    }
    void Shutdown() override { ++shutdowns; }

    int startups = 0;
    int shutdowns = 0;

  private:
    String name_;
    int32_t startup_result_;
};

class AudioDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The OSS device alone, and none: the mixer driver cannot start here.
        setenv("AUDIODEV", "/nonexistent/dsp", 1);
        setenv("VEXEL_AUDIO", "oss", 1);
        ResetAudioDriverSelection();
    }
    void TearDown() override {
        ResetAudioDriverSelection();
        unsetenv("VEXEL_AUDIO");
    }
};

TEST_F(AudioDriverTest, NullDriverIsTheOldestEntry) {
    const auto names = AudioDriverNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), u"Null");
    EXPECT_EQ(HasAudioDriver(u"NULL"), 1);
    EXPECT_EQ(HasAudioDriver(u"Nothing"), 0);
}

TEST_F(AudioDriverTest, SelectionComparesNamesIgnoringCaseAndTakesTheNewest) {
    auto older = ProbeDriver::Create(u"Probe", 1);
    auto newer = ProbeDriver::Create(u"probe", 1);
    EXPECT_EQ(AudioDriverNames().front(), u"probe");
    EXPECT_EQ(SelectAudioDriver(u"PROBE"), 1);
    EXPECT_EQ(CurrentAudioDriver(), newer);
    EXPECT_EQ(newer->startups, 1);
    EXPECT_EQ(older->startups, 0);

    // Selecting again shuts the current driver down first.
    EXPECT_EQ(SelectAudioDriver(u"Null"), 1);
    EXPECT_EQ(newer->shutdowns, 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
}

TEST_F(AudioDriverTest, FailedStartupLeavesNullAndDoesNotTryOlderNamesakes) {
    auto working = ProbeDriver::Create(u"Flaky", 1);
    auto failing = ProbeDriver::Create(u"Flaky", 0);
    auto other = ProbeDriver::Create(u"Other", 1);
    ASSERT_EQ(SelectAudioDriver(u"Other"), 1);
    EXPECT_EQ(SelectAudioDriver(u"flaky"), 0);
    EXPECT_EQ(failing->startups, 1);
    EXPECT_EQ(working->startups, 0);
    EXPECT_EQ(other->shutdowns, 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
}

TEST_F(AudioDriverTest, UnknownNameLeavesNullNotThePreviousDriver) {
    auto previous = ProbeDriver::Create(u"Previous", 1);
    ASSERT_EQ(SelectAudioDriver(u"Previous"), 1);
    EXPECT_EQ(SelectAudioDriver(u"No Such Driver"), 0);
    EXPECT_EQ(previous->shutdowns, 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
}

TEST_F(AudioDriverTest, WithoutDeviceFirstUseFallsBackToNullAndPlaysSilently) {
    // Made from a sample in memory, so no file or loader is involved.
    const auto sample = NewAudioSample(100, 44100, SF_MONO16LE);
    const auto sound = LoadSoundFile(sample, 0);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(CurrentAudioDriver()->Name(), u"Null");
    const auto channel = StartSound(sound, nullptr);
    ASSERT_NE(channel, nullptr);
    SetVolumeOf(channel, 0.75f);
    EXPECT_EQ(ChannelIsPlaying(channel), 0);
    EXPECT_NE(PrepareSound(sound, channel), nullptr);
    EXPECT_NE(AllocAudioChannel(), nullptr);
}

TEST_F(AudioDriverTest, LoadingAMissingFileGivesNull) {
    EXPECT_EQ(LoadSoundFile(u"/nonexistent/sound.ogg", 0), nullptr);
    EXPECT_EQ(TSound::Load(u"/nonexistent/sound.wav", 0), nullptr);
}

}  // namespace
}  // namespace vexel
