// Ogg Vorbis files, decoded whole at load time by vorbisfile reading through our stream.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "audio/audio_sample.h"
#include "audio/internal/builtin_loaders.h"

namespace vexel {

namespace {

// The decoder's buffer starts at most this big and grows with what is really decoded, so a
// stream announcing an absurd length cannot make us allocate it up front.
constexpr int64_t kInitialReserve = 8 << 20;
constexpr int kReadRequest = 16384;

// What vorbisfile reads from: the stream, seen as starting where the loader was handed it
// (vorbisfile takes offset 0 to be the first page).
struct OggSource {
    TStream* stream;
    int64_t base;
};

// vorbisfile's callbacks run inside C code: no exception may leave them.
size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    try {
        const int64_t n = static_cast<OggSource*>(source)->stream->Read(
            buffer, static_cast<int64_t>(size) * static_cast<int64_t>(count));
        return n > 0 ? static_cast<size_t>(n) / size : 0;
    } catch (...) {
        return 0;
    }
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
    const auto* ogg = static_cast<OggSource*>(source);
    try {
        int64_t target = ogg->base + offset;
        if (whence == SEEK_CUR) target = ogg->stream->Pos() + offset;
        if (whence == SEEK_END) target = ogg->stream->Size() + offset;
        if (target < ogg->base) return -1;
        return ogg->stream->Seek(target) < 0 ? -1 : 0;
    } catch (...) {
        return -1;
    }
}

int CloseCallback(void*) {
    return 0;
}  // LoadAudioSampleFile closes the stream

long TellCallback(void* source) {
    try {
        const auto* ogg = static_cast<OggSource*>(source);
        return static_cast<long>(ogg->stream->Pos() - ogg->base);
    } catch (...) {
        return -1;
    }
}

struct VorbisFile {
    OggVorbis_File file{};
    bool open = false;
    ~VorbisFile() {
        if (open) ov_clear(&file);
    }
};

class TAudioSampleLoaderOGG : public TAudioSampleLoader {
  public:
    AudioSamplePtr LoadAudioSample(TStream& stream) override {
        const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};
        OggSource source{&stream, stream.Pos()};
        VorbisFile vorbis;
        if (ov_open_callbacks(&source, &vorbis.file, nullptr, 0, callbacks) != 0) return nullptr;
        vorbis.open = true;
        const ogg_int64_t total = ov_pcm_total(&vorbis.file, -1);
        const vorbis_info* info = ov_info(&vorbis.file, -1);
        if (total < 0 || info == nullptr) return nullptr;
        // The sample holds at most two channels; anything wider is not ours to guess at.
        const int channels = info->channels;
        if (channels < 1 || channels > 2) return nullptr;
        const int32_t hertz = static_cast<int32_t>(info->rate);
        const int64_t bytes_per_frame = 2 * channels;
        if (total > INT32_MAX / bytes_per_frame) return nullptr;
        const int64_t wanted = total * bytes_per_frame;

        std::vector<uint8_t> bytes;
        bytes.reserve(static_cast<size_t>(std::min(wanted, kInitialReserve)));
        int64_t done = 0;
        while (done < wanted) {
            const int64_t request = std::min<int64_t>(kReadRequest, wanted - done);
            if (static_cast<int64_t>(bytes.size()) < done + request) {
                bytes.resize(static_cast<size_t>(
                    std::min(wanted, std::max<int64_t>(done + request, 2 * done))));
            }
            int section = 0;
            const long n = ov_read(&vorbis.file, reinterpret_cast<char*>(bytes.data() + done),
                                   static_cast<int>(request), 0, 2, 1, &section);
            if (n < 0) return nullptr;
            // A stream that ends early gives what it held instead of waiting for the rest.
            if (n == 0) break;
            // A chained stream may switch to another channel count, which would scramble
            // the frames already laid out.
            const vorbis_info* now = ov_info(&vorbis.file, section);
            if (now == nullptr || now->channels != channels) return nullptr;
            done += n;
        }
        const int64_t frames = done / bytes_per_frame;
        bytes.resize(static_cast<size_t>(frames * bytes_per_frame));
        return TAudioSample::CreateFromBytes(std::move(bytes), static_cast<int32_t>(frames), hertz,
                                             channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
    }
};

}  // namespace

std::shared_ptr<TAudioSampleLoader> MakeOggSampleLoader() {
    return std::make_shared<TAudioSampleLoaderOGG>();
}

}  // namespace vexel
