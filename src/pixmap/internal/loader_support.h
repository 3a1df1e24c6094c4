#pragma once

#include <cstdint>
#include <span>

#include "stream/memory_stream.h"
#include "stream/stream.h"

namespace vexel {

// Shared limits and helpers of the image decoders. Every decoder treats its input as
// untrusted: sizes are checked against these limits and against the bytes that remain
// before a single pixel is allocated.

// The largest width or height any decoder accepts.
inline constexpr int64_t kMaxImageSide = 16384;

// True when 1 <= width, height <= kMaxImageSide.
inline bool ImageSideOk(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide;
}

// The size a caller wants a decoded picture to have; the default takes any size.
struct WantedSize {
    int64_t width = 0, height = 0;

    bool Accepts(int64_t w, int64_t h) const { return width == 0 || (w == width && h == height); }
};

// Bytes between the stream's position and its end; -1 when the stream cannot tell.
inline int64_t RemainingBytes(TStream& stream) {
    const int64_t pos = stream.Pos();
    const int64_t size = stream.Size();
    if (pos < 0 || size <= 0 || size < pos) return -1;
    return size - pos;
}

// The bytes from the stream's position to its end when the stream (or the stream it wraps,
// however deep) holds them in memory; empty otherwise. A decoder may read them in place and
// then skip over what it used.
inline std::span<const uint8_t> MemoryBytesAhead(TStream& stream) {
    TStream* inner = &stream;
    while (auto* wrapper = dynamic_cast<TStreamWrapper*>(inner)) {
        if (!wrapper->Wrapped()) return {};
        inner = wrapper->Wrapped().get();
    }
    auto* memory = dynamic_cast<TMemoryStream*>(inner);
    if (!memory) return {};
    const std::span<const uint8_t> bytes = memory->Bytes();
    const int64_t pos = memory->Pos();
    if (pos < 0 || pos > static_cast<int64_t>(bytes.size())) return {};
    return bytes.subspan(static_cast<size_t>(pos));
}

// Closes a stream when the scope ends, on every path.
class StreamCloser {
  public:
    explicit StreamCloser(TStream& stream) : stream_(stream) {}
    ~StreamCloser() { stream_.Close(); }
    StreamCloser(const StreamCloser&) = delete;
    StreamCloser& operator=(const StreamCloser&) = delete;

  private:
    TStream& stream_;
};

}  // namespace vexel
