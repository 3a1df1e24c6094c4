// RIFF WAVE files with PCM data of 8 or 16 bits in one or two channels.
#include <algorithm>
#include <cstring>

#include "audio/audio_sample.h"
#include "audio/internal/builtin_loaders.h"

namespace vexel {

namespace {

// Data is read in pieces of this size, so a header that announces more bytes than the
// file holds costs at most one piece before the short read rejects it.
constexpr int64_t kReadPiece = 1 << 20;

bool ReadTag(TStream& stream, const char* tag) {
    char bytes[4];
    int64_t done = 0;
    while (done < 4) {
        const int64_t n = stream.Read(bytes + done, 4 - done);
        if (n <= 0) return false;
        done += n;
    }
    return std::memcmp(bytes, tag, 4) == 0;
}

int32_t MapFormat(int32_t bits, int32_t channels) {
    if (bits == 8 && channels == 1) return SF_MONO8;
    if (bits == 8 && channels == 2) return SF_STEREO8;
    if (bits == 16 && channels == 1) return SF_MONO16LE;
    if (bits == 16 && channels == 2) return SF_STEREO16LE;
    return SF_NONE;
}

// Bytes left in the stream, or -1 when it cannot tell.
int64_t Remaining(TStream& stream) {
    const int64_t size = stream.Size();
    const int64_t pos = stream.Pos();
    return size >= 0 && pos >= 0 ? std::max<int64_t>(0, size - pos) : -1;
}

class TAudioSampleLoaderWAV : public TAudioSampleLoader {
  public:
    AudioSamplePtr LoadAudioSample(TStream& stream) override {
        if (!ReadTag(stream, "RIFF")) return nullptr;
        stream.SkipBytes(4);
        if (!ReadTag(stream, "WAVE") || !ReadTag(stream, "fmt ")) return nullptr;
        const uint32_t fmt_size = static_cast<uint32_t>(stream.ReadInt());
        if (stream.ReadShort() != 1) return nullptr;  // PCM only
        const int32_t channels = stream.ReadShort();
        const int32_t hertz = stream.ReadInt();
        stream.ReadInt();  // byte rate
        const int32_t block_align = stream.ReadShort();
        const int32_t bits = stream.ReadShort();
        const int32_t format = MapFormat(bits, channels);
        // A block size of zero cannot describe PCM frames; such a header is corrupt.
        if (format == SF_NONE || block_align == 0) return nullptr;
        if (fmt_size > 16 && !Skip(stream, fmt_size - 16)) return nullptr;

        while (!stream.Eof()) {
            char id[4];
            stream.ReadBytes(id, 4);
            const uint32_t size = static_cast<uint32_t>(stream.ReadInt());
            if (std::memcmp(id, "data", 4) == 0) return ReadData(stream, size, hertz, format);
            // No pad byte is skipped after an odd size: that is how these files were written.
            if (!Skip(stream, size)) return nullptr;
        }
        return nullptr;
    }

  private:
    // Skips `count` bytes; false when the stream does not hold that many.
    static bool Skip(TStream& stream, uint32_t count) {
        const int64_t remaining = Remaining(stream);
        if (remaining >= 0 && count > remaining) return false;
        stream.SkipBytes(count);
        return true;
    }

    static AudioSamplePtr ReadData(TStream& stream, uint32_t size, int32_t hertz, int32_t format) {
        const int64_t remaining = Remaining(stream);
        if (remaining >= 0 && size > remaining) return nullptr;
        const int32_t bytes_per_frame = AudioFormatBytesPerFrame(format);
        const int64_t frames = size / bytes_per_frame;
        if (frames > INT32_MAX) return nullptr;
        // Whole frames only: a trailing partial frame would not fit the sample.
        const int64_t wanted = frames * bytes_per_frame;
        std::vector<uint8_t> bytes;
        bytes.reserve(static_cast<size_t>(remaining >= 0 ? wanted : std::min(wanted, kReadPiece)));
        while (static_cast<int64_t>(bytes.size()) < wanted) {
            const int64_t done = static_cast<int64_t>(bytes.size());
            const int64_t piece = std::min(kReadPiece, wanted - done);
            bytes.resize(static_cast<size_t>(done + piece));
            stream.ReadBytes(bytes.data() + done, piece);
        }
        return TAudioSample::CreateFromBytes(std::move(bytes), static_cast<int32_t>(frames), hertz,
                                             format);
    }
};

}  // namespace

std::shared_ptr<TAudioSampleLoader> MakeWavSampleLoader() {
    return std::make_shared<TAudioSampleLoaderWAV>();
}

}  // namespace vexel
