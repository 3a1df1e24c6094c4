#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/audio_sample.h"
#include "stream/memory_stream.h"
#include "stream/stream_exception.h"

// Runs one sample loader over the fuzzer's bytes through the in-memory stream. A loader may
// decline (null) or report a short read; anything else is a finding. An accepted sample must
// hold exactly its frames, which converting it reads back in full.
template <typename Loader>
int FuzzSampleLoader(const uint8_t* data, size_t size, Loader& loader) {
    auto stream = vexel::TMemoryStream::CreateBorrowed(std::span(data, size), nullptr);
    try {
        const auto sample = loader.LoadAudioSample(*stream);
        if (sample && sample->length < (1 << 16)) sample->Convert(vexel::SF_STEREO16BE);
    } catch (const vexel::TStreamException&) {
        // A file cut short is rejected this way.
    }
    return 0;
}
