#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/audio_sample.h"
#include "runtime/error.h"

namespace vexel {
namespace {

AudioSamplePtr SampleOf(std::vector<uint8_t> bytes, int32_t format) {
    const int32_t frames = static_cast<int32_t>(bytes.size()) / AudioFormatBytesPerFrame(format);
    return TAudioSample::CreateFromBytes(std::move(bytes), frames, 22050, format);
}

std::vector<uint8_t> BytesOf(const AudioSamplePtr& sample) {
    return std::vector<uint8_t>(sample->samples, sample->samples + sample->ByteCount());
}

TEST(AudioFormats, TablesGiveBytesPerFrameAndChannels) {
    const int32_t bytes[] = {0, 1, 2, 2, 2, 4, 4};
    const int32_t channels[] = {0, 1, 1, 1, 2, 2, 2};
    for (int32_t format = 0; format <= 6; ++format) {
        EXPECT_EQ(AudioFormatBytesPerFrame(format), bytes[format]) << format;
        EXPECT_EQ(AudioFormatChannels(format), channels[format]) << format;
    }
    EXPECT_EQ(AudioFormatBytesPerFrame(7), 0);
    EXPECT_EQ(AudioFormatChannels(-1), 0);
}

TEST(AudioSample, CreateOwnsLengthTimesFrameBytes) {
    const auto sample = NewAudioSample(10, 44100, SF_STEREO16LE);
    EXPECT_EQ(sample->length, 10);
    EXPECT_EQ(sample->hertz, 44100);
    EXPECT_EQ(sample->format, SF_STEREO16LE);
    EXPECT_EQ(sample->capacity, 40);
    ASSERT_NE(sample->samples, nullptr);
}

TEST(AudioSample, StaticSampleBorrowsAndCopyDuplicates) {
    uint8_t bytes[] = {1, 2, 3, 4};
    const auto borrowed = NewStaticAudioSample(bytes, 2, 8000, SF_MONO16LE);
    EXPECT_EQ(borrowed->samples, bytes);
    EXPECT_EQ(borrowed->capacity, -1);
    const auto copy = borrowed->Copy();
    EXPECT_NE(copy->samples, bytes);
    EXPECT_EQ(copy->capacity, 4);
    EXPECT_EQ(copy->hertz, 8000);
    EXPECT_EQ(BytesOf(copy), std::vector<uint8_t>({1, 2, 3, 4}));
}

TEST(AudioSampleConvert, EightBitWidensToFullScaleAndNarrowsBack) {
    const auto mono8 = SampleOf({0, 128, 255}, SF_MONO8);
    const auto wide = mono8->Convert(SF_STEREO16BE);
    EXPECT_EQ(wide->format, SF_STEREO16BE);
    EXPECT_EQ(wide->length, 3);
    EXPECT_EQ(wide->hertz, 22050);
    EXPECT_EQ(BytesOf(wide), std::vector<uint8_t>({0x80, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00, 0x80,
                                                   0x7f, 0xff, 0x7f, 0xff}));
    EXPECT_EQ(BytesOf(wide->Convert(SF_MONO8)), std::vector<uint8_t>({0, 128, 255}));
    // The source is left alone.
    EXPECT_EQ(BytesOf(mono8), std::vector<uint8_t>({0, 128, 255}));
}

TEST(AudioSampleConvert, StereoToMonoAveragesTowardZero) {
    // L = 1, R = 2 and L = -1, R = -2 as stereo 16-bit little-endian.
    const auto stereo = SampleOf({1, 0, 2, 0, 0xff, 0xff, 0xfe, 0xff}, SF_STEREO16LE);
    EXPECT_EQ(BytesOf(stereo->Convert(SF_MONO16LE)), std::vector<uint8_t>({1, 0, 0xff, 0xff}));
    EXPECT_EQ(BytesOf(stereo->Convert(SF_MONO16BE)), std::vector<uint8_t>({0, 1, 0xff, 0xff}));
}

TEST(AudioSampleConvert, SixteenBitOrdersAndEightBitStereo) {
    // Mono big-endian 0x1234 widens to both channels and lands little-endian in stereo.
    const auto mono_be = SampleOf({0x12, 0x34}, SF_MONO16BE);
    EXPECT_EQ(BytesOf(mono_be->Convert(SF_STEREO16LE)),
              std::vector<uint8_t>({0x34, 0x12, 0x34, 0x12}));
    // Stereo 8-bit keeps its channels apart: -32768 and 32767 come back as 0 and 255.
    const auto stereo8 = SampleOf({0, 255, 128, 1}, SF_STEREO8);
    EXPECT_EQ(BytesOf(stereo8->Convert(SF_STEREO16LE)),
              std::vector<uint8_t>({0x00, 0x80, 0xff, 0x7f, 0x80, 0x00, 0x01, 0x81}));
    EXPECT_EQ(BytesOf(stereo8->Convert(SF_STEREO16LE)->Convert(SF_STEREO8)),
              std::vector<uint8_t>({0, 255, 128, 1}));
    // Mono 16-bit to 8-bit: (m + 32768) / 257.
    const auto mono_le = SampleOf({0x00, 0x01, 0x00, 0xff}, SF_MONO16LE);  // 256, -256
    EXPECT_EQ(BytesOf(mono_le->Convert(SF_MONO8)), std::vector<uint8_t>({128, 126}));
}

TEST(AudioSampleConvert, UnknownFormatsAreRefused) {
    const auto sample = SampleOf({1, 2}, SF_MONO16LE);
    for (int32_t bad : {0, 7, -1}) {
        try {
            sample->Convert(bad);
            FAIL() << "no exception for format " << bad;
        } catch (const RuntimeError& error) {
            EXPECT_STREQ(error.what(), "Unimplemented sample format conversion");
        }
    }
    const auto none = TAudioSample::CreateStatic(nullptr, 1, 8000, SF_NONE);
    EXPECT_THROW(none->Convert(SF_MONO8), RuntimeError);
}

}  // namespace
}  // namespace vexel
