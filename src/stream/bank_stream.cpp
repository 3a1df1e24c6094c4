#include "stream/bank_stream.h"

#include <algorithm>
#include <cstring>

namespace vexel {

std::shared_ptr<TBankStream> TBankStream::Create(std::vector<uint8_t> bytes) {
    auto stream = std::make_shared<TBankStream>();
    stream->bytes_ = std::move(bytes);
    return stream;
}

int64_t TBankStream::Seek(int64_t pos) {
    pos_ = std::clamp<int64_t>(pos, 0, Size());
    return pos_;
}

int64_t TBankStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(count, 0, Size() - pos_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TBankStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto end = static_cast<size_t>(pos_ + count);
    if (end > bytes_.size()) bytes_.resize(end);
    std::memcpy(bytes_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

}  // namespace vexel
