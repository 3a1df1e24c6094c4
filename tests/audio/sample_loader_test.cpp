#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_sample.h"
#include "runtime/error.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::ReadFileBytes;
using testing::SourcePath;

// Little-endian byte builder for hand-made WAV files.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& Tag(const char* tag) {
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<uint8_t>(tag[i]));
        return *this;
    }
    Bytes& U16(uint32_t v) {
        data.push_back(static_cast<uint8_t>(v));
        data.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    Bytes& U32(uint32_t v) { return U16(v & 0xffff).U16(v >> 16); }
    Bytes& Raw(std::vector<uint8_t> bytes) {
        for (const uint8_t byte : bytes)
            data.push_back(byte);
        return *this;
    }
};

// RIFF header and a 16-byte PCM fmt chunk.
Bytes WavHeader(uint32_t channels, uint32_t hertz, uint32_t bits) {
    const uint32_t block_align = channels * bits / 8;
    Bytes b;
    b.Tag("RIFF").U32(0).Tag("WAVE");
    b.Tag("fmt ").U32(16).U16(1 /* PCM */).U16(channels).U32(hertz);
    b.U32(hertz * block_align /* byte rate */).U16(block_align).U16(bits);
    return b;
}

AudioSamplePtr LoadBytes(std::vector<uint8_t> bytes) {
    return LoadAudioSampleFile(Url(TMemoryStream::Create(std::move(bytes))));
}

std::vector<uint8_t> Frames(const AudioSamplePtr& sample) {
    return std::vector<uint8_t>(sample->samples, sample->samples + sample->ByteCount());
}

TEST(WavLoader, ReadsEveryPcmLayout) {
    struct Case {
        uint32_t channels, bits;
        int32_t format;
    };
    for (const Case c : {Case{1, 8, SF_MONO8}, Case{2, 8, SF_STEREO8}, Case{1, 16, SF_MONO16LE},
                         Case{2, 16, SF_STEREO16LE}}) {
        const auto sample = LoadBytes(WavHeader(c.channels, 11025, c.bits)
                                          .Tag("data")
                                          .U32(8)
                                          .Raw({1, 2, 3, 4, 5, 6, 7, 8})
                                          .data);
        ASSERT_NE(sample, nullptr) << c.channels << "x" << c.bits;
        EXPECT_EQ(sample->format, c.format);
        EXPECT_EQ(sample->hertz, 11025);
        EXPECT_EQ(sample->length, static_cast<int32_t>(8 / (c.channels * c.bits / 8)));
        EXPECT_EQ(Frames(sample), std::vector<uint8_t>({1, 2, 3, 4, 5, 6, 7, 8}));
    }
}

TEST(WavLoader, SkipsListChunkAndExtraFmtBytes) {
    Bytes b;
    b.Tag("RIFF").U32(0).Tag("WAVE");
    b.Tag("fmt ").U32(18).U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16);
    b.U16(0);                                             // cbSize: the two extra fmt bytes
    b.Tag("LIST").U32(5).Raw({'I', 'N', 'F', 'O', 'x'});  // odd size, no pad byte
    b.Tag("data").U32(4).Raw({0x34, 0x12, 0xff, 0x7f});
    const auto sample = LoadBytes(b.data);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->format, SF_MONO16LE);
    EXPECT_EQ(sample->length, 2);
    EXPECT_EQ(Frames(sample), std::vector<uint8_t>({0x34, 0x12, 0xff, 0x7f}));
}

TEST(WavLoader, RejectsWhatItCannotHold) {
    // 24-bit samples, a compressed format tag, and a file with no data chunk.
    EXPECT_EQ(LoadBytes(WavHeader(2, 44100, 24).Tag("data").U32(6).Raw({1, 2, 3, 4, 5, 6}).data),
              nullptr);
    Bytes adpcm;
    adpcm.Tag("RIFF").U32(0).Tag("WAVE").Tag("fmt ").U32(16).U16(2).U16(1).U32(8000);
    adpcm.U32(8000).U16(1).U16(8).Tag("data").U32(1).Raw({0});
    EXPECT_EQ(LoadBytes(adpcm.data), nullptr);
    EXPECT_EQ(LoadBytes(WavHeader(1, 8000, 8).Tag("LIST").U32(0).data), nullptr);
    // Not RIFF at all, and fewer than four bytes.
    EXPECT_EQ(LoadBytes({'R', 'I', 'F'}), nullptr);
    EXPECT_EQ(LoadBytes(WavHeader(1, 8000, 8).data), nullptr);
}

TEST(WavLoader, CorruptSizesAreRejectedWithoutAllocatingThem) {
    // The data chunk claims 2 GiB but the file holds 4 bytes.
    EXPECT_EQ(LoadBytes(WavHeader(1, 8000, 16).Tag("data").U32(0x7ffffffe).Raw({1, 2, 3, 4}).data),
              nullptr);
    // A LIST size that wraps past the end of any position.
    EXPECT_EQ(
        LoadBytes(
            WavHeader(1, 8000, 16).Tag("LIST").U32(0xfffffff8).Tag("data").U32(2).Raw({1, 2}).data),
        nullptr);
    // A block size of zero.
    Bytes zero_block = WavHeader(1, 8000, 16).Tag("data").U32(2).Raw({1, 2});
    zero_block.data[32] = 0;  // block align, 16-bit field at offset 32
    zero_block.data[33] = 0;
    EXPECT_EQ(LoadBytes(zero_block.data), nullptr);
    // An odd data size for 16-bit frames keeps the whole frames only.
    const auto odd = LoadBytes(WavHeader(1, 8000, 16).Tag("data").U32(5).Raw({1, 2, 3, 4, 5}).data);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->length, 2);
    EXPECT_EQ(Frames(odd), std::vector<uint8_t>({1, 2, 3, 4}));
}

TEST(WavLoader, RealFilesDecodeToTheirHeaderSizes) {
    // alsa-utils' test voices: 16-bit mono at 48000 Hz.
    const auto center = LoadAudioSampleFile(u"/usr/share/sounds/alsa/Front_Center.wav");
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(center->format, SF_MONO16LE);
    EXPECT_EQ(center->hertz, 48000);
    EXPECT_EQ(center->length, 137090 / 2);
    const auto noise = LoadAudioSampleFile(u"/usr/share/sounds/alsa/Noise.wav");
    ASSERT_NE(noise, nullptr);
    EXPECT_EQ(noise->length, 135158 / 2);
}

TEST(OggLoader, RealFilesDecodeToTheirLastGranule) {
    struct Case {
        const char* file;
        int32_t frames, hertz, format;
    };
    // The frame counts are the granule positions of each file's last page.
    for (const Case c : {Case{"bell.oga", 6151, 44100, SF_STEREO16LE},
                         Case{"complete.oga", 48022, 44100, SF_STEREO16LE},
                         Case{"audio-test-signal.oga", 67579, 48000, SF_MONO16LE}}) {
        const auto sample = LoadAudioSampleFile(
            FromUtf8(std::string("/usr/share/sounds/freedesktop/stereo/") + c.file));
        ASSERT_NE(sample, nullptr) << c.file;
        EXPECT_EQ(sample->length, c.frames) << c.file;
        EXPECT_EQ(sample->hertz, c.hertz) << c.file;
        EXPECT_EQ(sample->format, c.format) << c.file;
    }
}

TEST(OggLoader, DecodesOurFixturesToTheToneWeEncoded) {
    const auto mono =
        LoadAudioSampleFile(FromUtf8(SourcePath("tests/audio/data/tone_mono_22050.ogg")));
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(mono->length, 5512);
    EXPECT_EQ(mono->hertz, 22050);
    EXPECT_EQ(mono->format, SF_MONO16LE);
    // The encoded tone peaks near 12000; a lossy codec keeps it within a few percent.
    int32_t peak = 0;
    for (int32_t i = 0; i < mono->length; ++i) {
        const int16_t v =
            static_cast<int16_t>(mono->samples[2 * i] | (mono->samples[2 * i + 1] << 8));
        peak = std::max<int32_t>(peak, std::abs(v));
    }
    EXPECT_GT(peak, 11000);
    EXPECT_LT(peak, 13500);
}

TEST(OggLoader, MoreThanTwoChannelsAreRejected) {
    EXPECT_EQ(LoadAudioSampleFile(FromUtf8(SourcePath("tests/audio/data/three_channels.ogg"))),
              nullptr);
}

TEST(OggLoader, StreamEndingBeforeItsAnnouncedLengthGivesWhatItHeld) {
    // The last page claims ten times the 22050 frames that were encoded: decoding stops
    // when the data does, after the last packet's frames.
    const auto sample =
        LoadAudioSampleFile(FromUtf8(SourcePath("tests/audio/data/granule_beyond_data.ogg")));
    ASSERT_NE(sample, nullptr);
    EXPECT_GE(sample->length, 22050);
    EXPECT_LT(sample->length, 22050 + 2048);
    EXPECT_EQ(sample->capacity, static_cast<int64_t>(sample->length) * 4);
    // Cut 700 bytes into the only audio page: nothing announced, nothing decoded.
    auto bytes = ReadFileBytes(SourcePath("tests/audio/data/tone_stereo.ogg"));
    bytes.resize(3932 + 700);
    const auto cut = LoadBytes(bytes);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->length, 0);
}

// A stream over bytes that records the position of every read and every seek.
class RecordingStream : public TStream {
  public:
    explicit RecordingStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int64_t Pos() override { return pos_; }
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
    int64_t Seek(int64_t pos) override {
        seeks.push_back(pos);
        pos_ = std::clamp<int64_t>(pos, 0, Size());
        return pos_;
    }
    int64_t Read(void* buffer, int64_t count) override {
        reads.push_back(pos_);
        const int64_t n = std::clamp<int64_t>(count, 0, Size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
        pos_ += n;
        return n;
    }
    std::vector<int64_t> seeks, reads;

  private:
    std::vector<uint8_t> bytes_;
    int64_t pos_ = 0;
};

TEST(SampleLoaders, OggIsOfferedToWavFirstThenDecodedFromTheStart) {
    // Ten bytes of something else precede the Ogg file; loading starts where the stream is.
    std::vector<uint8_t> bytes(10, 0xaa);
    const auto ogg = ReadFileBytes(SourcePath("tests/audio/data/tone_mono_22050.ogg"));
    bytes.insert(bytes.end(), ogg.begin(), ogg.end());
    auto stream = std::make_shared<RecordingStream>(bytes);
    stream->Seek(10);
    stream->seeks.clear();

    const auto sample = LoadAudioSampleFile(Url(stream));
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->length, 5512);
    // WAV looked at the first four bytes, then the stream went back for Ogg.
    ASSERT_GE(stream->reads.size(), 2u);
    EXPECT_EQ(stream->reads[0], 10);
    ASSERT_GE(stream->seeks.size(), 2u);
    EXPECT_EQ(stream->seeks[0], 10);
    EXPECT_EQ(stream->seeks[1], 10);
    EXPECT_EQ(stream->reads[1], 10);
}

class Unseekable : public TStream {
  public:
    int64_t Pos() override { return -1; }
    int Close() override {
        closed = true;
        return 0;
    }
    bool closed = false;
};

// Serves "unseekable::" urls and keeps the last stream it made.
class UnseekableFactory : public TStreamFactory {
  public:
    StreamPtr CreateStream(const Url&, const String& proto, const String&, bool, bool) override {
        if (proto != u"unseekable") return nullptr;
        last = std::make_shared<Unseekable>();
        return last;
    }
    std::shared_ptr<Unseekable> last;
};

TEST(SampleLoaders, UnseekableStreamIsAnErrorAndIsClosedFirst) {
    try {
        LoadAudioSampleFile(Url(std::make_shared<Unseekable>()));
        FAIL() << "no exception";
    } catch (const RuntimeError& error) {
        EXPECT_STREQ(error.what(), "Stream is not seekable");
    }
    // A stream the loader opened itself is closed before the error leaves it.
    auto factory = std::make_shared<UnseekableFactory>();
    RegisterStreamFactory(factory);
    EXPECT_THROW(LoadAudioSampleFile(u"unseekable::sound.wav"), RuntimeError);
    ASSERT_TRUE(factory->last);
    EXPECT_TRUE(factory->last->closed);
    EXPECT_EQ(LoadAudioSampleFile(u"/nonexistent.wav"), nullptr);
    EXPECT_EQ(LoadBytes({1, 2, 3, 4, 5, 6, 7, 8, 9}), nullptr);
}

}  // namespace
}  // namespace vexel
