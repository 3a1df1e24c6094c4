#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "stream/stream.h"

namespace vexel {

// A read-only, seekable stream over bytes in memory. The bytes are either copied into the
// stream or borrowed, in which case `owner` (if any) is kept alive as long as the stream.
class TMemoryStream : public TStream {
  public:
    // A stream over a copy of `bytes`.
    static std::shared_ptr<TMemoryStream> CreateCopy(std::span<const uint8_t> bytes);
    // A stream that takes over `bytes`.
    static std::shared_ptr<TMemoryStream> Create(std::vector<uint8_t> bytes);
    // A stream over `bytes` as they are, keeping `owner` (which holds them) alive.
    static std::shared_ptr<TMemoryStream> CreateBorrowed(std::span<const uint8_t> bytes,
                                                         std::shared_ptr<const void> owner);

    int64_t Pos() override { return pos_; }
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
    // Clamped to 0..Size.
    int64_t Seek(int64_t pos) override;
    int64_t Read(void* buffer, int64_t count) override;

    // All the bytes, whatever the position.
    std::span<const uint8_t> Bytes() const { return bytes_; }

  protected:
    std::vector<uint8_t> storage_;
    std::shared_ptr<const void> owner_;
    std::span<const uint8_t> bytes_;
    int64_t pos_ = 0;
};

}  // namespace vexel
