#include "stream/durable_save.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "runtime/startup.h"
#include "stream/c_stream.h"
#include "stream/file_system.h"
#include "stream/internal/file_replacement.h"

namespace vexel {

namespace {

// New files are named ".<name>.<pid>.<n>.new" beside the file they replace, so that the
// process that made one can be told from its name.
constexpr char kSiblingEnd[] = ".new";

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes the directory entry of a rename to the disk, so the new name survives a power cut.
void SyncFolder(const std::string& folder) {
    const FileDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) fsync(fd.Get());
}

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMostLinks = 40;

// The kernel's rule for following the link at `link` (its lstat `info`): in a sticky folder
// that everyone may write, such as /tmp, only a link owned by the follower or by the folder's
// owner is followed, so that no user can lead another's save elsewhere with a link planted
// there.
bool MayFollowLink(const std::string& link, const struct stat& info) {
    std::string folder;
    std::string name;
    SplitPath(link, folder, name);
    struct stat parent {};
    if (stat(folder.c_str(), &parent) != 0) return false;
    const bool shared = (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & S_IWOTH) != 0;
    return !shared || info.st_uid == geteuid() || info.st_uid == parent.st_uid;
}

// Removes the new files that saves of `name` left behind when their process was killed
// before the rename: those whose process no longer exists.
void RemoveAbandonedSiblings(const std::string& folder, const std::string& name) {
    const std::string prefix = "." + name + ".";
    for (const String& entry : ListDirectoryNames(FromUtf8(folder), true)) {
        const std::string file = ToUtf8(entry);
        if (file.size() <= prefix.size() + 4 || file.compare(0, prefix.size(), prefix) != 0 ||
            !file.ends_with(kSiblingEnd)) {
            continue;
        }
        const std::string pid_text =
            file.substr(prefix.size(), file.find('.', prefix.size()) - prefix.size());
        if (pid_text.empty() || pid_text.size() > 9 ||
            pid_text.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (kill(static_cast<pid_t>(std::atol(pid_text.c_str())), 0) != 0 && errno == ESRCH) {
            unlink((folder + "/" + file).c_str());
        }
    }
}

// Creates `folder` and whichever of its parents are missing, for the user's eyes only; true
// when it is a folder afterwards.
bool MakePrivateFolder(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        // A component that exists already is left as it is.
        mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// FileDescriptor

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
}

int FileDescriptor::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

// FileReplacement

FileReplacement::FileReplacement(std::string target, std::string sibling, int fd)
    : target_(std::move(target)), sibling_(std::move(sibling)), fd_(fd) {}

FileReplacement::~FileReplacement() {
    if (!committed_) unlink(sibling_.c_str());
}

FileReplacement::Kind FileReplacement::KindOf(const std::string& path, std::string& target,
                                              int& error) {
    target = path;
    // The links in the folders of the path are the kernel's to follow (and to refuse) when
    // the path is opened or renamed over; the ones it ends in are followed here, because the
    // rename must name the file they lead to.
    std::string link;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0) {
            if (errno == ENOENT && links > 0) {
                // A link of the kernel's own (/proc/self/fd/1, and so /dev/stdout) names an
                // open pipe or socket by a text that is no path; the kernel opens it.
                if (stat(link.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
                    target = link;
                    return Kind::Direct;
                }
                error = ENOENT;
                return Kind::Refused;
            }
            // Nothing there yet is created through a new file; any other failure (a folder
            // that cannot be searched) shows itself when the path is opened.
            return errno == ENOENT ? Kind::Replace : Kind::Direct;
        }
        if (S_ISREG(info.st_mode)) return Kind::Replace;
        if (!S_ISLNK(info.st_mode)) return Kind::Direct;
        if (links == kMostLinks) {
            error = ELOOP;
            return Kind::Refused;
        }
        if (!MayFollowLink(target, info)) {
            error = EACCES;
            return Kind::Refused;
        }
        char named[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), named, sizeof named);
        if (length < 0 || static_cast<size_t>(length) == sizeof named) {
            error = length < 0 ? errno : ENAMETOOLONG;
            return Kind::Refused;
        }
        std::string folder;
        std::string name;
        SplitPath(target, folder, name);
        link = target;
        target = named[0] == '/' ? std::string(named, static_cast<size_t>(length))
                                 : folder + "/" + std::string(named, static_cast<size_t>(length));
    }
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const std::string& target, int& error) {
    static std::atomic<unsigned> counter{0};
    std::string folder;
    std::string name;
    SplitPath(target, folder, name);
    struct stat old {};
    const bool replacing = stat(target.c_str(), &old) == 0;
    // The rename would replace a file this process may not write; refuse as writing it in
    // place would have.
    if (replacing && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        error = errno;
        return nullptr;
    }
    RemoveAbandonedSiblings(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string sibling = folder + "/." + name + "." + std::to_string(getpid()) + "." +
                              std::to_string(counter++) + kSiblingEnd;
        FileDescriptor fd(open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.Get() < 0) {
            if (errno == EEXIST) continue;
            error = errno;
            return nullptr;
        }
        auto replacement =
            std::make_unique<FileReplacement>(target, std::move(sibling), fd.Release());
        if (replacing) {
            // The file keeps its owner when the owner's administrator saves it, and its mode.
            if (old.st_uid != geteuid() || old.st_gid != getegid()) {
                [[maybe_unused]] const int ignored =
                    fchown(replacement->fd_.Get(), old.st_uid, old.st_gid);
            }
            fchmod(replacement->fd_.Get(), old.st_mode & 07777);
        }
        return replacement;
    }
    error = EEXIST;
    return nullptr;
}

bool FileReplacement::Sync(int fd, int& error) {
    if (fsync(fd) == 0) return true;
    error = errno;
    return false;
}

bool FileReplacement::Commit(int& error) {
    if (rename(sibling_.c_str(), target_.c_str()) != 0) {
        error = errno;
        return false;
    }
    committed_ = true;
    std::string folder;
    std::string name;
    SplitPath(target_, folder, name);
    SyncFolder(folder);
    return true;
}

// Public functions

String FileOutcome::Reason() const {
    if (error == NOT_REGULAR_FILE) return u"not a regular file";
    if (error == WRITER_GAVE_UP) return u"the data could not be written";
    return FromUtf8(std::strerror(error));
}

FileOutcome ReplaceFileWith(const String& path, const FileWriter& write) {
    int error = 0;
    const auto stream = TCStream::OpenFileForWriting(path, error);
    if (!stream) return {error};
    bool written = false;
    try {
        written = write(*stream);
    } catch (const TStreamException&) {
        written = false;
    } catch (...) {
        stream->Abandon();
        throw;
    }
    if (!written) {
        stream->Abandon();
        return {stream->LastError() != 0 ? stream->LastError() : FileOutcome::WRITER_GAVE_UP};
    }
    if (stream->Close() != 0) return {stream->LastError() != 0 ? stream->LastError() : EIO};
    return {};
}

void AbandonSave(TStream& stream) {
    TStream* inner = &stream;
    for (;;) {
        // A caller's own stream is never ours to abandon or close.
        if (dynamic_cast<TStreamStream*>(inner)) break;
        const auto* wrapper = dynamic_cast<TStreamWrapper*>(inner);
        if (!wrapper || !wrapper->Wrapped()) break;
        inner = wrapper->Wrapped().get();
    }
    if (auto* file = dynamic_cast<TCStream*>(inner)) {
        file->Abandon();
        return;
    }
    stream.Close();
}

SaveGuard::~SaveGuard() {
    if (!closed_) AbandonSave(stream_);
}

bool SaveGuard::Close() {
    closed_ = true;
    return stream_.Close() == 0;
}

std::shared_ptr<TCStream> OpenUserFileRead(const String& path, FileOutcome& outcome) {
    outcome = {};
    const std::string system_path = ToUtf8(NormalizePathName(path, false));
    FileDescriptor fd(open(system_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0) {
        outcome.error = errno;
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        outcome.error = FileOutcome::NOT_REGULAR_FILE;
        return nullptr;
    }
    // Reads of a regular file never wait anyway; the flag goes so stdio sees a plain file.
    fcntl(fd.Get(), F_SETFL, fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd.Get(), "rb");
    if (!file) {
        outcome.error = errno;
        return nullptr;
    }
    fd.Release();
    return TCStream::CreateWithCStream(file, TCStream::MODE_READ);
}

String UserDataFolder(const String& application) {
    String folder;
    const String xdg = GetEnvVar(u"XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == u'/') {
        folder = xdg + u"/" + application;
    } else {
        const String home = GetEnvVar(u"HOME");
        if (home.empty()) return {};
        folder = home + u"/.local/share/" + application;
    }
    return MakePrivateFolder(ToUtf8(folder)) ? folder : String();
}

}  // namespace vexel
