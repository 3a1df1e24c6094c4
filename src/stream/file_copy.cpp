#include "stream/file_copy.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "stream/bank_stream.h"
#include "stream/durable_save.h"
#include "stream/file_system.h"
#include "stream/internal/system_path.h"
#include "stream/stream_exception.h"
#include "stream/stream_factory.h"
#include "stream/whole_file.h"

namespace vexel {
namespace {

using FileId = std::pair<dev_t, ino_t>;

FileId IdOf(const String& path) {
    struct stat info {};
    stat(SystemPath(path).c_str(), &info);
    return {info.st_dev, info.st_ino};
}

// Guards a tree copy against copying into itself: the directories written to are never read
// as sources, and a directory is not entered again below itself (loops through links).
struct CopyGuard {
    std::set<FileId> targets;
    std::vector<FileId> sources;
};

bool CopyDirectoryInto(const String& from, const String& to, CopyGuard& guard) {
    if (NothingAt(SystemPath(to))) MakeDirectory(to, false);
    if (PathKind(to) != PATH_DIRECTORY) return false;
    guard.targets.insert(IdOf(to));
    guard.sources.push_back(IdOf(from));
    for (const String& name : ListDirectoryNames(from, true)) {
        const String source = from + u"/" + name;
        const String target = to + u"/" + name;
        const int32_t kind = PathKind(source);
        if (kind == PATH_DIRECTORY) {
            const FileId id = IdOf(source);
            if (guard.targets.contains(id) ||
                std::find(guard.sources.begin(), guard.sources.end(), id) != guard.sources.end()) {
                continue;
            }
            if (!CopyDirectoryInto(source, target, guard)) return false;
        } else if (kind == PATH_FILE) {
            if (!DuplicateFile(source, target)) return false;
        }
    }
    guard.sources.pop_back();
    return true;
}

}  // namespace

bool DuplicateFile(const Url& from, const Url& to) {
    const auto source = OpenFileRead(from);
    if (!source) return false;
    const auto target = OpenFileWrite(to);
    if (!target) {
        source->Close();
        return false;
    }
    // A failed copy is abandoned, which removes the new file of a regular target and so
    // leaves the old one as it was.
    SaveGuard save(*target);
    bool written = true;
    try {
        CopyStreamData(*source, *target, 4096);
    } catch (const TStreamWriteException&) {
        written = false;
    }
    source->Close();
    // The last bytes of the copy may be refused only when the target is closed.
    return written && save.Close();
}

bool DuplicateDirectory(const String& from, const String& to) {
    if (PathKind(from) != PATH_DIRECTORY) return false;
    CopyGuard guard;
    return CopyDirectoryInto(NormalizePathName(from, true), NormalizePathName(to, true), guard);
}

StreamPtr OpenSeekableStream(const Url& url, bool readable, bool writeable) {
    auto stream = OpenUrlStream(url, readable, writeable);
    // A write-only stream has nothing to read into memory; writes must reach it directly.
    if (!stream || stream->Pos() != -1 || !readable) return stream;
    auto bank = TBankStream::Create(LoadBytesFrom(stream));
    stream->Close();
    return bank;
}

StreamPtr OpenSeekableRead(const Url& url) {
    return OpenSeekableStream(url, true, false);
}
StreamPtr OpenSeekableWrite(const Url& url) {
    return OpenSeekableStream(url, false, true);
}
void StreamClose(TStream& stream) {
    stream.Close();
}

}  // namespace vexel
