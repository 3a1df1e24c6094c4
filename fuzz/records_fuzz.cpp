// Records of one line and one 32-bit integer until end of data, read through the in-memory
// stream: the shape of the game's saved files.
#include <cstdint>
#include <span>

#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto stream = vexel::TMemoryStream::CreateBorrowed(std::span(data, size), nullptr);
    try {
        while (!stream->Eof()) {
            const vexel::String name = stream->ReadLine();
            const int32_t points = stream->ReadInt();
            (void)name;
            (void)points;
        }
    } catch (const vexel::TStreamReadException&) {
        // A record cut short is the expected end of malformed data.
    }
    return 0;
}
