#pragma once

#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// The file at `url` opened for writing; TStreamWriteException when it cannot be.
StreamPtr OpenForSave(const Url& url);
// Closes a stream opened by OpenForSave. Bytes a file system could not take (a full disk)
// may come to light only now; TStreamWriteException then.
void CloseSaved(TStream& stream);

}  // namespace vexel
