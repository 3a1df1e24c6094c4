// The WAV sample loader over arbitrary bytes.
#include <cstdint>

#include "audio/internal/builtin_loaders.h"
#include "sample_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto loader = vexel::MakeWavSampleLoader();
    return FuzzSampleLoader(data, size, *loader);
}
