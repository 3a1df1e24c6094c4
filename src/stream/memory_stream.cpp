#include "stream/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace vexel {

std::shared_ptr<TMemoryStream> TMemoryStream::CreateCopy(std::span<const uint8_t> bytes) {
    return Create(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::shared_ptr<TMemoryStream> TMemoryStream::Create(std::vector<uint8_t> bytes) {
    auto stream = std::make_shared<TMemoryStream>();
    stream->storage_ = std::move(bytes);
    stream->bytes_ = stream->storage_;
    return stream;
}

std::shared_ptr<TMemoryStream> TMemoryStream::CreateBorrowed(std::span<const uint8_t> bytes,
                                                             std::shared_ptr<const void> owner) {
    auto stream = std::make_shared<TMemoryStream>();
    stream->owner_ = std::move(owner);
    stream->bytes_ = bytes;
    return stream;
}

int64_t TMemoryStream::Seek(int64_t pos) {
    pos_ = std::clamp<int64_t>(pos, 0, Size());
    return pos_;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(count, 0, Size() - pos_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

}  // namespace vexel
