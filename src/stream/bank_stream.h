#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "stream/memory_stream.h"

namespace vexel {

// A memory stream that can also be written (a "bank"): it owns its bytes, and writing at the
// end extends them.
class TBankStream : public TMemoryStream {
  public:
    // A bank holding `bytes`, positioned at the start.
    static std::shared_ptr<TBankStream> Create(std::vector<uint8_t> bytes = {});

    // Overwrites from the position on and extends the bytes past the end; returns `count`.
    int64_t Write(const void* buffer, int64_t count) override;
};

}  // namespace vexel
