#pragma once

#include "runtime/cxx_standard.h"

#include <exception>
#include <string>

#include "runtime/object.h"
#include "runtime/string.h"

namespace vexel {

// Base of every exception the framework throws. Its text is what ToString returns and, as
// UTF-8, what what() returns.
class Exception : public std::exception {
  public:
    // An exception whose text is `text`.
    explicit Exception(String text) : text_(std::move(text)), utf8_(vexel::ToUtf8(text_)) {}
    // The text.
    virtual String ToString() const { return text_; }
    // The text as UTF-8.
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    String text_;
    std::string utf8_;
};

// The runtime's general error carrying a message ("Stream is not readable").
class RuntimeError : public Exception {
  public:
    // A runtime error with the message `text`.
    using Exception::Exception;
};

// A bare string thrown as the exception value ("Unable to read object", "PNG ERROR").
class StringException : public Exception {
  public:
    // The string `text` as the thrown value.
    using Exception::Exception;
};

}  // namespace vexel
