#pragma once

// Copies through streams: a file from one url to another, a directory tree, and a stream
// read whole into memory when it cannot seek. Paths are read as file_system.h reads them.

#include "runtime/string.h"
#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// Copies bytes between two urls; false when either cannot be opened or writing fails,
// including bytes refused when the target is closed (a full disk). A target path that names
// a regular file (or nothing yet) is replaced all or nothing, as OpenFileWrite does: after a
// failure it holds its old bytes (or is still missing). The links and FIFOs OpenFileWrite
// refuses give false at once.
bool DuplicateFile(const Url& from, const Url& to);
// Copies a directory tree into `to` (created when missing). A target inside the source is
// not copied into itself, and a directory is not entered again below itself (link loops).
bool DuplicateDirectory(const String& from, const String& to);

// OpenUrlStream, except that a readable stream that cannot seek (Pos() == -1) is read
// whole into memory and a seekable, writeable memory stream over those bytes is returned.
StreamPtr OpenSeekableStream(const Url& url, bool readable, bool writeable);
StreamPtr OpenSeekableRead(const Url& url);   // OpenSeekableStream(url, true, false)
StreamPtr OpenSeekableWrite(const Url& url);  // OpenSeekableStream(url, false, true)
void StreamClose(TStream& stream);            // stream.Close()

}  // namespace vexel
