#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pixmap/pixmap.h"
#include "stream/memory_stream.h"
#include "stream/stream_exception.h"

// Runs one decoder over the fuzzer's bytes through the in-memory stream. A decoder may
// decline (null) or report a short read; anything else (a crash, a sanitizer report, another
// exception) is a finding. Every decoded pixel is read so that uninitialised or out-of-range
// rows show up.
template <typename Decode>
int FuzzImageDecoder(const uint8_t* data, size_t size, Decode decode) {
    auto stream = vexel::TMemoryStream::CreateBorrowed(std::span(data, size), nullptr);
    vexel::PixmapPtr pixmap;
    try {
        pixmap = decode(stream);
    } catch (const vexel::TStreamException&) {
        return 0;
    }
    if (pixmap) {
        uint32_t sum = 0;
        const int32_t bytes = vexel::PixelFormatBytes[pixmap->format];
        for (int32_t y = 0; y < pixmap->height; ++y) {
            const uint8_t* row = pixmap->PixelPtr(0, y);
            for (int32_t i = 0; i < pixmap->width * bytes; ++i)
                sum += row[i];
        }
        volatile uint32_t sink = sum;
        (void)sink;
    }
    return 0;
}
