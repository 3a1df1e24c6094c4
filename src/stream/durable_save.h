#pragma once

// Saving a file so that it is either wholly new or wholly old, reading a file a user keeps
// (options, saved games) without trusting what is at its path, and the per-user folder such
// files belong in.
//
// A save of a regular file (or of a symbolic link to one: the link's target is replaced and
// the link kept) writes a new file beside it, flushes it, syncs it to the disk and renames
// it over the target, then syncs the folder. Until that rename a reader of the target sees
// the old file, whole; after it the new one, whole. On any failure the old file stays byte
// for byte and the new one is removed. The new file keeps the old one's permission bits; a
// target that does not exist yet is created the same way. Streams from OpenFileWrite on such
// a path work the same way (see TCStream): only their successful Close replaces the file.
//
// Links are followed as the kernel follows them when it opens a file: in a sticky folder that
// everyone may write (/tmp), a link owned by neither the saver nor the folder's owner is
// refused (EACCES), so that nobody can plant a link there that leads another user's save,
// root's above all, to a file of their choosing. A link that names nothing is refused
// (ENOENT): a save never creates a file through one.
//
// A target that is not a regular file (a FIFO, a device such as /dev/stdout) is written
// directly, as nothing can be put beside it. A FIFO that no program opens for reading within
// half a second is refused (ENXIO) rather than waited for.

#include <cerrno>
#include <functional>

#include "runtime/string.h"
#include "stream/c_stream.h"
#include "stream/stream.h"

namespace vexel {

// What a save or an open did: `error` is 0 when it succeeded, otherwise the errno value of
// the step that failed (ENOSPC for a full disk, EROFS for a read-only file system, ENOENT
// for a missing folder or file, EACCES, ...) or one of the values below.
struct FileOutcome {
    // The path names something other than a regular file (a folder, a FIFO, a device).
    static constexpr int NOT_REGULAR_FILE = -1;
    // The writer function returned false without a failed write.
    static constexpr int WRITER_GAVE_UP = -2;

    int error = 0;

    // The save or open succeeded.
    bool Ok() const { return error == 0; }
    // Nothing at all is at the path.
    bool Missing() const { return error == ENOENT; }
    // A short English reason for the error: the system's text for an errno value ("No space
    // left on device", "Read-only file system", "No such file or directory"), "not a regular
    // file", or "the data could not be written".
    String Reason() const;
};

// Writes the new content of a file; false (or a TStreamException) abandons the save.
using FileWriter = std::function<bool(TStream& stream)>;

// Replaces the file at `path` with what `write` puts into the stream it is given, all or
// nothing as described above. A writer that returns false or throws a TStreamException, a
// write the file system refuses (a full disk shows at the flush at the latest), or a failed
// sync or rename leaves the old file as it was. Other exceptions of the writer pass through,
// with the old file kept as well. A refused link or a FIFO that nobody reads gives its error
// (EACCES, ENOENT, ENXIO) before the writer runs.
FileOutcome ReplaceFileWith(const String& path, const FileWriter& write);

// Opens a file a user keeps for reading, without waiting for anything: the open never blocks
// (a FIFO without a writer would wait for ever), and only a regular file (or a link to one)
// is accepted. Null otherwise, with `outcome` saying why; `outcome.Missing()` only when
// nothing is at the path. A read that fails later shows in the stream's LastError.
std::shared_ptr<TCStream> OpenUserFileRead(const String& path, FileOutcome& outcome);

// Ends a save through a stream from OpenFileWrite (possibly inside text-stream wrappers)
// without replacing its file: the new file of an all-or-nothing save is removed. A stream that
// writes directly is closed; a caller's stream given as a url is left open.
void AbandonSave(TStream& stream);

// For savers that write to a stream from OpenFileWrite and may stop part-way (a failure of
// their own, an exception): the save is abandoned unless Close ran.
class SaveGuard {
  public:
    // Guards the save through `stream`, which must outlive the guard.
    explicit SaveGuard(TStream& stream) : stream_(stream) {}
    ~SaveGuard();
    SaveGuard(const SaveGuard&) = delete;
    SaveGuard& operator=(const SaveGuard&) = delete;

    // Closes the stream: true when every byte reached the file (and so replaced the target).
    bool Close();

  private:
    TStream& stream_;
    bool closed_ = false;
};

// The per-user data folder of an application: `$XDG_DATA_HOME/<application>` when
// XDG_DATA_HOME is an absolute path, else `$HOME/.local/share/<application>`. Missing folders
// on the way are created readable by the user alone (mode 0700). Empty when neither variable
// says where it is or the folder cannot be made.
String UserDataFolder(const String& application);

}  // namespace vexel
