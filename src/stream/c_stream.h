#pragma once

#include <cstdio>
#include <memory>

#include "stream/stream.h"

namespace vexel {

class FileReplacement;

// A stream over a stdio FILE handle. The position and size are tracked by the stream
// itself; a handle without a position (a pipe, a terminal) has position -1 and size 0, and
// is at Eof once a Read has met the end of its data. Destroying it closes the handle.
//
// Opened for writing only, a path that names a regular file, a link to one, or nothing yet
// is saved all or nothing (see durable_save.h): the bytes go to a new file beside the target,
// which Close syncs and renames over the target when no write failed. Until then a reader of
// the target sees the old file. A stream whose writes failed, one that is abandoned, and one
// destroyed without Close (a program that returns early or throws) remove their new file and
// leave the old one as it was: only a successful Close replaces the target. An existing
// target this process may not write is refused, as opening it in place would be, and so are
// the links durable_save.h names. Other paths (a FIFO, a device) are written directly, and
// destroying such a stream closes it, flushing what it holds; a FIFO that nobody reads is
// refused at the open instead of waited for.
//
// stdio buffers what is written, so a file system that is full may reject the bytes only
// when the buffer is emptied: Write returns 0 from the first failure on, and Flush and Close
// return -1 when any written byte did not reach the file (0 otherwise). Code that must know
// its data arrived checks the result of Close.
class TCStream : public TStream {
  public:
    static constexpr int MODE_READ = 1;
    static constexpr int MODE_WRITE = 2;

    ~TCStream() override;

    // Opens `path` (backslashes read as "/"; passed to the system as UTF-8). A path that
    // cannot be opened for reading is tried once more with its letter case resolved.
    // Null when the file cannot be opened.
    static std::shared_ptr<TCStream> OpenFile(const String& path, bool readable, bool writeable);
    // OpenFile(path, false, true), with the errno value of the failure in `error`.
    static std::shared_ptr<TCStream> OpenFileForWriting(const String& path, int& error);
    // Adopts an open handle, taking its current position and size.
    static std::shared_ptr<TCStream> CreateWithCStream(std::FILE* cstream, int mode);

    // Position equals size; for a handle without a position (a pipe), once a Read has met
    // the end of the data.
    bool Eof() override;
    int64_t Pos() override;
    int64_t Size() override;
    int64_t Seek(int64_t pos) override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int Flush() override;
    int Close() override;
    // Closes without replacing the target of an all-or-nothing save: its new file is removed.
    // A stream that writes directly is simply closed.
    void Abandon();

    // How the file was opened: MODE_READ, MODE_WRITE or both.
    int Mode() const { return _mode; }
    // The errno value of the first failed read, write, flush, sync or rename; 0 when none
    // failed. (A read that fails looks like the end of the data otherwise.)
    int LastError() const { return _error; }

  private:
    void NoteError();

    int64_t _pos = 0;
    int64_t _size = 0;
    std::FILE* _cstream = nullptr;
    int _mode = 0;
    int _error = 0;
    bool _ended = false;  // a Read met the end of the data
    // The new file of an all-or-nothing save; null for direct writing and for reading.
    std::unique_ptr<FileReplacement> _replacement;
};

// Finds an existing file or directory whose path differs from `path` only in letter case;
// the path itself when it exists, the empty string when nothing matches.
String ResolvePathCase(const String& path);

}  // namespace vexel
