#pragma once

#include <exception>
#include <string>

#include "runtime/object.h"
#include "runtime/string.h"

namespace vexel {

// Base of every exception the framework throws. Its text is what ToString returns and, as
// UTF-8, what what() returns.
class Exception : public std::exception {
  public:
    explicit Exception(String text) : text_(std::move(text)), utf8_(vexel::ToUtf8(text_)) {}
    virtual String ToString() const { return text_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

  private:
    String text_;
    std::string utf8_;
};

// The runtime's general error carrying a message ("Stream is not readable").
class RuntimeError : public Exception {
  public:
    using Exception::Exception;
};

// A bare string thrown as the exception value ("Unable to read object", "PNG ERROR").
class StringException : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace vexel
