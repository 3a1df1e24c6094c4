#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/object.h"
#include "stream/url.h"

namespace vexel {

// Sample format codes. Stereo frames store left then right.
enum : int32_t {
    SF_NONE = 0,
    SF_MONO8 = 1,       // unsigned 8-bit
    SF_MONO16LE = 2,    // signed 16-bit little-endian
    SF_MONO16BE = 3,    // signed 16-bit big-endian
    SF_STEREO8 = 4,     // unsigned 8-bit
    SF_STEREO16LE = 5,  // signed 16-bit little-endian
    SF_STEREO16BE = 6,  // signed 16-bit big-endian
};

// Bytes per frame and channel count of a format code; 0 for codes outside the table.
// @{
int32_t AudioFormatBytesPerFrame(int32_t format);
int32_t AudioFormatChannels(int32_t format);
// @}

// A block of uncompressed PCM frames in memory.
class TAudioSample : public Object {
  public:
    // `length` frames of `format`; the bytes are zeroed. Throws RuntimeError for a negative
    // length or an unknown format.
    static std::shared_ptr<TAudioSample> Create(int32_t length, int32_t hertz, int32_t format);
    // Wraps memory that stays the caller's (capacity -1); it must outlive the sample.
    static std::shared_ptr<TAudioSample> CreateStatic(uint8_t* samples, int32_t length,
                                                      int32_t hertz, int32_t format);
    // Takes over `bytes`, which must hold at least length frames of `format`.
    static std::shared_ptr<TAudioSample> CreateFromBytes(std::vector<uint8_t> bytes, int32_t length,
                                                         int32_t hertz, int32_t format);

    // A new sample with the same frames.
    std::shared_ptr<TAudioSample> Copy() const;
    // A new sample of the same length and rate in `format`; this one is left unchanged.
    // Throws RuntimeError "Unimplemented sample format conversion" for codes outside 1..6.
    std::shared_ptr<TAudioSample> Convert(int32_t format) const;

    // Size of the frames in bytes.
    int64_t ByteCount() const;

    uint8_t* samples = nullptr;
    int32_t length = 0;
    int32_t hertz = 0;
    int32_t format = SF_NONE;
    // Bytes owned by the sample, -1 when the memory is someone else's.
    int64_t capacity = -1;

  private:
    std::vector<uint8_t> storage_;
};

using AudioSamplePtr = std::shared_ptr<TAudioSample>;

// TAudioSample::Create and TAudioSample::CreateStatic.
// @{
AudioSamplePtr NewAudioSample(int32_t length, int32_t hertz, int32_t format);
AudioSamplePtr NewStaticAudioSample(uint8_t* samples, int32_t length, int32_t hertz,
                                    int32_t format);
// @}

// The sample itself, or a little-endian copy of a big-endian 16-bit one: the byte order the
// drivers hand to their outputs.
AudioSamplePtr LittleEndianSample(const AudioSamplePtr& sample);

// Recognises one file format. Constructing a loader through RegisterAudioSampleLoader puts it
// at the head of the loader list; loaders are never removed.
class TAudioSampleLoader : public Object {
  public:
    // Null when the stream does not hold this loader's format. May throw stream exceptions
    // on short reads, which the loader list counts as a rejection.
    virtual AudioSamplePtr LoadAudioSample(TStream& stream) = 0;

    std::shared_ptr<TAudioSampleLoader> _succ;
};

// Puts `loader` at the head of the loader list.
void RegisterAudioSampleLoader(std::shared_ptr<TAudioSampleLoader> loader);
// The head of the loader list (the WAV loader, then the Ogg Vorbis loader).
std::shared_ptr<TAudioSampleLoader> AudioSampleLoaders();

// Opens `url` and offers it to every loader from the head, each from the position the
// stream had when opened. Null when it cannot be opened or no loader takes it (LastError says why).
// Throws RuntimeError "Stream is not seekable" for a stream without a position.
AudioSamplePtr LoadAudioSampleFile(const Url& url);

}  // namespace vexel
