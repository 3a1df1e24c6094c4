#include "stream/bank_stream.h"

#include <cstring>

namespace vexel {

std::shared_ptr<TBankStream> TBankStream::Create(std::vector<uint8_t> bytes) {
    auto stream = std::make_shared<TBankStream>();
    stream->storage_ = std::move(bytes);
    stream->bytes_ = stream->storage_;
    return stream;
}

int64_t TBankStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto end = static_cast<size_t>(pos_ + count);
    if (end > storage_.size()) {
        storage_.resize(end);
        bytes_ = storage_;
    }
    std::memcpy(storage_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

}  // namespace vexel
