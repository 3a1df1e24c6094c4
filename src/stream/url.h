#pragma once

#include "runtime/cxx_standard.h"

#include <memory>
#include <variant>

#include "runtime/string.h"
#include "stream/stream.h"

namespace vexel {

// What can be opened: a path, a "protocol::path" string, or a stream that is already open.
class Url {
  public:
    // The empty path.
    Url() = default;
    // A path or "protocol::path".
    // @{
    Url(String text) : value_(std::move(text)) {}
    Url(const char16_t* text) : value_(String(text)) {}
    // @}
    // An open stream, of any stream type.
    // @{
    Url(StreamPtr stream) : value_(std::move(stream)) {}
    template <typename Derived>
    requires std::is_base_of_v<TStream, Derived> Url(std::shared_ptr<Derived> stream)
        : value_(StreamPtr(std::move(stream))) {}
    // @}

    // The text of a string url, the empty string for a stream.
    const String& Text() const;
    // The stream of a stream url, null for a string.
    StreamPtr Stream() const;
    // True for a stream url.
    bool IsStream() const { return std::holds_alternative<StreamPtr>(value_); }

  private:
    std::variant<String, StreamPtr> value_;
};

}  // namespace vexel
