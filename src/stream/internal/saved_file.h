#pragma once

#include "stream/durable_save.h"
#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// The file at `url` opened for writing; TStreamWriteException when it cannot be.
StreamPtr OpenForSave(const Url& url);
// Closes the stream of a save. Bytes a file system could not take (a full disk) may come to
// light only now; TStreamWriteException then.
void CloseSaved(SaveGuard& save);

}  // namespace vexel
