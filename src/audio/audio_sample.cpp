#include "audio/audio_sample.h"

#include <array>
#include <cstring>

#include "audio/internal/builtin_loaders.h"
#include "runtime/error.h"
#include "runtime/registry.h"
#include "stream/loader_chain.h"

namespace vexel {

namespace {

struct FormatInfo {
    int32_t bytes_per_frame;
    int32_t channels;
};

constexpr std::array<FormatInfo, 7> kFormats = {{
    {0, 0},  // none
    {1, 1},  // mono 8-bit unsigned
    {2, 1},  // mono 16-bit little-endian
    {2, 1},  // mono 16-bit big-endian
    {2, 2},  // stereo 8-bit unsigned
    {4, 2},  // stereo 16-bit little-endian
    {4, 2},  // stereo 16-bit big-endian
}};

bool Convertible(int32_t format) {
    return format >= SF_MONO8 && format <= SF_STEREO16BE;
}

// Widens n frames of `format` into stereo 16-bit big-endian.
void WidenToStereo16BE(const uint8_t* in, int32_t format, int64_t n, uint8_t* out) {
    for (int64_t i = 0; i < n; ++i, out += 4) {
        uint8_t lh, ll, rh, rl;
        switch (format) {
            case SF_MONO8:
                lh = rh = static_cast<uint8_t>(in[i] - 128);
                ll = rl = in[i];
                break;
            case SF_MONO16LE:
                lh = rh = in[2 * i + 1];
                ll = rl = in[2 * i];
                break;
            case SF_MONO16BE:
                lh = rh = in[2 * i];
                ll = rl = in[2 * i + 1];
                break;
            case SF_STEREO8:
                lh = static_cast<uint8_t>(in[2 * i] - 128);
                ll = in[2 * i];
                rh = static_cast<uint8_t>(in[2 * i + 1] - 128);
                rl = in[2 * i + 1];
                break;
            case SF_STEREO16LE:
                lh = in[4 * i + 1];
                ll = in[4 * i];
                rh = in[4 * i + 3];
                rl = in[4 * i + 2];
                break;
            default:  // SF_STEREO16BE
                lh = in[4 * i];
                ll = in[4 * i + 1];
                rh = in[4 * i + 2];
                rl = in[4 * i + 3];
                break;
        }
        out[0] = lh;
        out[1] = ll;
        out[2] = rh;
        out[3] = rl;
    }
}

uint8_t To8Bit(int32_t value) {
    return static_cast<uint8_t>((value + 32768) / 257);
}

void Put16LE(uint8_t* out, int32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

// Narrows n frames of stereo 16-bit big-endian into `format`.
void NarrowFromStereo16BE(const uint8_t* in, int32_t format, int64_t n, uint8_t* out) {
    for (int64_t i = 0; i < n; ++i, in += 4) {
        const int32_t left = static_cast<int16_t>((in[0] << 8) | in[1]);
        const int32_t right = static_cast<int16_t>((in[2] << 8) | in[3]);
        const int32_t mid = (left + right) / 2;  // truncates toward zero
        switch (format) {
            case SF_MONO8:
                out[i] = To8Bit(mid);
                break;
            case SF_MONO16LE:
                Put16LE(out + 2 * i, mid);
                break;
            case SF_MONO16BE:
                out[2 * i] = static_cast<uint8_t>(mid >> 8);
                out[2 * i + 1] = static_cast<uint8_t>(mid);
                break;
            case SF_STEREO8:
                out[2 * i] = To8Bit(left);
                out[2 * i + 1] = To8Bit(right);
                break;
            case SF_STEREO16LE:
                Put16LE(out + 4 * i, left);
                Put16LE(out + 4 * i + 2, right);
                break;
            default:  // SF_STEREO16BE
                std::memcpy(out + 4 * i, in, 4);
                break;
        }
    }
}

// The built-in loaders are linked Ogg Vorbis first, so WAV heads the list: its four-byte tag
// test settles most files before the Ogg decoder has to look.
Registry<TAudioSampleLoader> MakeBuiltinLoaders() {
    Registry<TAudioSampleLoader> loaders;
    for (auto loader : {MakeOggSampleLoader(), MakeWavSampleLoader()})
        loaders.Link(loader);
    return loaders;
}

Registry<TAudioSampleLoader>& Loaders() {
    static Registry<TAudioSampleLoader> loaders = MakeBuiltinLoaders();
    return loaders;
}

}  // namespace

int32_t AudioFormatBytesPerFrame(int32_t format) {
    return format >= 0 && format < static_cast<int32_t>(kFormats.size())
               ? kFormats[format].bytes_per_frame
               : 0;
}

int32_t AudioFormatChannels(int32_t format) {
    return format >= 0 && format < static_cast<int32_t>(kFormats.size()) ? kFormats[format].channels
                                                                         : 0;
}

AudioSamplePtr TAudioSample::Create(int32_t length, int32_t hertz, int32_t format) {
    if (length < 0 || format < 0 || format >= static_cast<int32_t>(kFormats.size())) {
        throw RuntimeError(u"Invalid audio sample size or format");
    }
    const auto bytes = static_cast<size_t>(length) * AudioFormatBytesPerFrame(format);
    return CreateFromBytes(std::vector<uint8_t>(bytes), length, hertz, format);
}

AudioSamplePtr TAudioSample::CreateStatic(uint8_t* samples, int32_t length, int32_t hertz,
                                          int32_t format) {
    auto sample = std::make_shared<TAudioSample>();
    sample->samples = samples;
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    sample->capacity = -1;
    return sample;
}

AudioSamplePtr TAudioSample::CreateFromBytes(std::vector<uint8_t> bytes, int32_t length,
                                             int32_t hertz, int32_t format) {
    auto sample = CreateStatic(nullptr, length, hertz, format);
    sample->storage_ = std::move(bytes);
    sample->samples = sample->storage_.data();
    sample->capacity = static_cast<int64_t>(sample->storage_.size());
    return sample;
}

int64_t TAudioSample::ByteCount() const {
    return static_cast<int64_t>(length) * AudioFormatBytesPerFrame(format);
}

AudioSamplePtr TAudioSample::Copy() const {
    auto copy = Create(length, hertz, format);
    if (ByteCount() > 0) std::memcpy(copy->samples, samples, static_cast<size_t>(ByteCount()));
    return copy;
}

AudioSamplePtr TAudioSample::Convert(int32_t to) const {
    if (to == format && Convertible(to)) return Copy();
    if (!Convertible(format) || !Convertible(to)) {
        throw RuntimeError(u"Unimplemented sample format conversion");
    }
    auto result = Create(length, hertz, to);
    if (to == SF_STEREO16BE) {
        WidenToStereo16BE(samples, format, length, result->samples);
        return result;
    }
    const uint8_t* wide = samples;
    std::vector<uint8_t> temporary;
    if (format != SF_STEREO16BE) {
        temporary.resize(static_cast<size_t>(length) * 4);
        WidenToStereo16BE(samples, format, length, temporary.data());
        wide = temporary.data();
    }
    NarrowFromStereo16BE(wide, to, length, result->samples);
    return result;
}

AudioSamplePtr NewAudioSample(int32_t length, int32_t hertz, int32_t format) {
    return TAudioSample::Create(length, hertz, format);
}

AudioSamplePtr NewStaticAudioSample(uint8_t* samples, int32_t length, int32_t hertz,
                                    int32_t format) {
    return TAudioSample::CreateStatic(samples, length, hertz, format);
}

AudioSamplePtr LittleEndianSample(const AudioSamplePtr& sample) {
    if (sample->format == SF_MONO16BE) return sample->Convert(SF_MONO16LE);
    if (sample->format == SF_STEREO16BE) return sample->Convert(SF_STEREO16LE);
    return sample;
}

void RegisterAudioSampleLoader(std::shared_ptr<TAudioSampleLoader> loader) {
    Loaders().Link(std::move(loader));
}

std::shared_ptr<TAudioSampleLoader> AudioSampleLoaders() {
    return Loaders().Head();
}

AudioSamplePtr LoadAudioSampleFile(const Url& url) {
    return OfferToEachLoader(
        u"LoadAudioSampleFile", u"not a sound file of a kind Vexel reads (WAV, Ogg Vorbis)", url,
        Loaders().Head(), WhenUnseekable::kRaise,
        [](TAudioSampleLoader& loader, TStream& stream) { return loader.LoadAudioSample(stream); });
}

}  // namespace vexel
