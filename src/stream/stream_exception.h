#pragma once

#include "runtime/cxx_standard.h"

#include "runtime/error.h"

namespace vexel {

// Common base of stream errors. Loaders catch it to fail quietly on truncated files.
class TStreamException : public Exception {
  public:
    using Exception::Exception;
};

// A short read: fewer bytes arrived than an operation needed.
class TStreamReadException : public TStreamException {
  public:
    TStreamReadException() : TStreamException(u"Error reading from stream") {}
};

// A write that could not place all of its bytes.
class TStreamWriteException : public TStreamException {
  public:
    TStreamWriteException() : TStreamException(u"Error writing to stream") {}
};

}  // namespace vexel
