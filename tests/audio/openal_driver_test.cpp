// The OpenAL driver against OpenAL Soft, whose "wave" backend writes what it mixes to a
// file. The backend is chosen by a configuration file named in ALSOFT_CONF, set before the
// audio module loads the library.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "audio/audio_driver.h"
#include "audio/internal/openal_library.h"
#include "audio/openal_driver.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::ReadFileBytes;

// Where this process's OpenAL writes its output.
const std::string& WaveFile() {
    static testing::TempDir dir;
    static const std::string wave = [] {
        const std::string conf = dir / "alsoft.conf";
        std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = " << (dir / "out.wav")
                            << "\n";
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        return dir / "out.wav";
    }();
    return wave;
}
const bool configured = !WaveFile().empty();

// The 16-bit values of the data chunk of a WAV file the backend wrote.
std::vector<int16_t> WaveValues(const std::string& path) {
    const auto bytes = ReadFileBytes(path);
    std::vector<int16_t> values;
    for (size_t i = 12; i + 8 <= bytes.size();) {
        const uint32_t size = bytes[i + 4] | bytes[i + 5] << 8 | bytes[i + 6] << 16 |
                              static_cast<uint32_t>(bytes[i + 7]) << 24;
        if (std::equal(bytes.begin() + i, bytes.begin() + i + 4, "data")) {
            for (size_t j = i + 8; j + 1 < bytes.size(); j += 2) {
                values.push_back(static_cast<int16_t>(bytes[j] | bytes[j + 1] << 8));
            }
            break;
        }
        i += 8 + size;
    }
    return values;
}

int32_t Peak(const std::vector<int16_t>& values, size_t from, size_t to) {
    int32_t peak = 0;
    for (size_t i = from; i < std::min(to, values.size()); ++i) {
        peak = std::max<int32_t>(peak, std::abs(values[i]));
    }
    return peak;
}

TEST(OpenALDriver, RegisteredOnlyWhenTheLibraryLoads) {
    ASSERT_TRUE(configured);
    EXPECT_EQ(HasAudioDriver(u"OpenAL"), 1);
    const size_t before = AudioDriverNames().size();
    EXPECT_FALSE(RegisterOpenALDriver({"libopenal-not-installed.so", "libopenal.so.99"}));
    EXPECT_EQ(AudioDriverNames().size(), before);
}

TEST(OpenALDriver, EnablingRegistersADriverPerDeviceAndADefaultOnce) {
    ASSERT_TRUE(configured);
    const auto before = AudioDriverNames();
    ASSERT_EQ(EnableOpenALAudio(), 1);
    auto names = AudioDriverNames();
    ASSERT_GE(names.size(), before.size() + 2);  // at least one device and the default
    // Newest first: the default, then the devices in the library's order.
    EXPECT_EQ(names.front(), u"OpenAL Default");
    const ALCchar* list = OpenAL().alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
    ASSERT_NE(list, nullptr);
    std::vector<String> devices;
    for (; *list; list += std::string(list).size() + 1)
        devices.insert(devices.begin(), u"OpenAL " + FromUtf8(list));
    EXPECT_EQ(std::vector<String>(names.begin() + 1, names.begin() + 1 + devices.size()), devices);
    EXPECT_EQ(names.size(), before.size() + devices.size() + 1);
    // Once only.
    EXPECT_EQ(EnableOpenALAudio(), 1);
    EXPECT_EQ(AudioDriverNames().size(), names.size());
    // The default device opens.
    EXPECT_EQ(SelectAudioDriver(u"OpenAL Default"), 1);
    ShutdownAudioDriver();
}

TEST(OpenALDriver, ErrorCodesHaveNames) {
    EXPECT_EQ(OpenALErrorName(AL_INVALID_NAME), u"INVALID_NAME");
    EXPECT_EQ(OpenALErrorName(AL_INVALID_ENUM), u"INVALID_ENUM");
    EXPECT_EQ(OpenALErrorName(AL_INVALID_VALUE), u"INVALID_VALUE");
    EXPECT_EQ(OpenALErrorName(AL_INVALID_OPERATION), u"INVALID_OPERATION");
    EXPECT_EQ(OpenALErrorName(AL_OUT_OF_MEMORY), u"OUT_OF_MEMORY");
    EXPECT_EQ(OpenALErrorName(0x1234), u"?????");
}

TEST(OpenALDriver, PlayedSoundReachesTheWrittenFile) {
    ASSERT_TRUE(configured);
    ASSERT_EQ(SelectAudioDriver(u"openal"), 1);
    // A 441 Hz square wave of ±12000 for half a second.
    auto sample = NewAudioSample(22050, 44100, SF_MONO16LE);
    for (int32_t i = 0; i < sample->length; ++i) {
        const int16_t v = (i / 50) % 2 ? 12000 : -12000;
        sample->samples[2 * i] = static_cast<uint8_t>(v);
        sample->samples[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    const auto sound = LoadSoundFile(sample, 0);
    ASSERT_NE(std::dynamic_pointer_cast<TOpenALSound>(sound), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // silence first

    auto channel = StartSound(sound, nullptr);
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(ChannelIsPlaying(channel), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(ChannelIsPlaying(channel), 0);  // the half second is over
    channel.reset();
    ShutdownAudioDriver();  // closing the device completes the file

    const auto values = WaveValues(WaveFile());
    ASSERT_GT(values.size(), 2u * 44100 * 6 / 10);  // at least 0.6 s of stereo frames
    // 100 ms in, nothing played yet; somewhere after that the square wave sounds.
    EXPECT_EQ(Peak(values, 0, 2 * 4410), 0);
    EXPECT_GT(Peak(values, 2 * 4410, values.size()), 4000);
}

TEST(OpenALDriver, ChannelsAreViewsOfPooledSources) {
    ASSERT_TRUE(configured);
    ASSERT_EQ(SelectAudioDriver(u"OpenAL"), 1);
    const auto sound = std::static_pointer_cast<TOpenALSound>(
        LoadSoundFile(NewAudioSample(44100, 44100, SF_STEREO16LE), SOUND_LOOP));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->_loop, 1);

    // A dedicated channel keeps its source until Stop, then gives it back to the pool.
    auto dedicated = std::static_pointer_cast<TOpenALChannel>(AllocAudioChannel());
    ASSERT_TRUE(dedicated->Live());
    EXPECT_EQ(StartSound(sound, dedicated), dedicated);
    EXPECT_EQ(ChannelIsPlaying(dedicated), 1);
    HoldChannel(dedicated);
    EXPECT_EQ(ChannelIsPlaying(dedicated), 0);
    ContinueChannel(dedicated);
    EXPECT_EQ(ChannelIsPlaying(dedicated), 1);
    const auto source = dedicated->_source;
    HaltChannel(dedicated);
    EXPECT_FALSE(dedicated->Live());
    EXPECT_EQ(ChannelIsPlaying(dedicated), 0);
    EXPECT_EQ(source->_avail, 1);

    // The next channel reuses that source, which makes any old view of it dead.
    auto pooled = std::static_pointer_cast<TOpenALChannel>(StartSound(sound, nullptr));
    EXPECT_EQ(pooled->_source, source);
    EXPECT_EQ(source->_avail, 0);
    EXPECT_EQ(ChannelIsPlaying(pooled), 1);
    // Dropping a pooled channel leaves its sound playing; a new one gets another source.
    pooled.reset();
    EXPECT_EQ(source->Playing(), 1);
    auto other = std::static_pointer_cast<TOpenALChannel>(StartSound(sound, nullptr));
    EXPECT_NE(other->_source, source);
    ShutdownAudioDriver();
}

}  // namespace
}  // namespace vexel
