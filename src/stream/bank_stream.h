#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "stream/stream.h"

namespace vexel {

// A readable, writeable and seekable stream over a growing block of memory (a "bank").
// Writing at the end extends it.
class TBankStream : public TStream {
  public:
    static std::shared_ptr<TBankStream> Create(std::vector<uint8_t> bytes = {});

    int64_t Pos() override { return pos_; }
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
    // Clamped to 0..Size.
    int64_t Seek(int64_t pos) override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    int64_t pos_ = 0;
};

}  // namespace vexel
