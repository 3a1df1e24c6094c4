// The WAV sample loader over arbitrary bytes. A sample it accepts must hold exactly its
// frames, which converting it reads back in full.
#include <cstdint>
#include <span>

#include "audio/audio_sample.h"
#include "audio/builtin_loaders.h"
#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto loader = vexel::MakeWavSampleLoader();
    auto stream = vexel::TMemoryStream::CreateBorrowed(std::span(data, size), nullptr);
    try {
        const auto sample = loader->LoadAudioSample(*stream);
        if (sample && sample->length < (1 << 16)) sample->Convert(vexel::SF_STEREO16BE);
    } catch (const vexel::TStreamException&) {
        // A file cut short is rejected this way.
    }
    return 0;
}
