#include "stream/c_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "stream/file_system.h"
#include "stream/internal/file_replacement.h"

namespace vexel {

namespace {

// The first entry of `directory` whose lower-cased name equals `lower_name`.
String FindEntry(const String& directory, const String& lower_name) {
    auto listing = OpenDirectoryListing(directory);
    if (!listing) return {};
    for (String name = NextDirectoryEntry(*listing); !name.empty();
         name = NextDirectoryEntry(*listing)) {
        if (ToLower(name) == lower_name) return name;
    }
    return {};
}

// How long a save to a FIFO waits for a program to open it for reading.
constexpr auto kReaderWait = std::chrono::milliseconds(500);

// Opens a FIFO, a device or whatever else is written in place, truncated as fopen's "wb"
// does, without waiting for ever: opening a FIFO for writing blocks until a program opens it
// for reading, so it is opened without blocking, and one that nobody reads within
// kReaderWait is refused (ENXIO). Null with `error` set otherwise too.
std::FILE* OpenInPlace(const std::string& path, int& error) {
    const auto give_up = std::chrono::steady_clock::now() + kReaderWait;
    int fd = -1;
    for (;;) {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != ENXIO || std::chrono::steady_clock::now() >= give_up) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    // Writes wait for room as they would have after a blocking open.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = errno;
        close(fd);
    }
    return file;
}

}  // namespace

String ResolvePathCase(const String& path) {
    if (PathKind(path) != PATH_NONE) return path;
    if (path.empty()) return {};
    // The separator is searched from the second-to-last character so that a trailing "/"
    // belongs to the name.
    const size_t slash = path.size() >= 2 ? path.rfind(u'/', path.size() - 2) : String::npos;
    String directory;
    String name = path;
    bool has_directory = false;
    if (slash != String::npos && slash >= 1) {
        directory = ResolvePathCase(path.substr(0, slash));
        if (directory.empty()) return {};
        name = path.substr(slash + 1);
        has_directory = true;
    }
    const String found = FindEntry(has_directory ? directory : String(u"."), ToLower(name));
    if (found.empty()) return {};
    return has_directory ? directory + u"/" + found : found;
}

TCStream::~TCStream() {
    Abandon();
}

void TCStream::Abandon() {
    if (!_replacement) {
        Close();
        return;
    }
    if (_cstream) std::fclose(_cstream);
    _cstream = nullptr;
    _pos = 0;
    _size = 0;
    _ended = false;
    // Its destructor removes the new file.
    _replacement.reset();
}

std::shared_ptr<TCStream> TCStream::OpenFileForWriting(const String& path, int& error) {
    String unix_path = path;
    std::replace(unix_path.begin(), unix_path.end(), u'\\', u'/');
    std::string target;
    switch (FileReplacement::KindOf(ToUtf8(unix_path), target, error)) {
        case FileReplacement::Kind::Refused:
            return nullptr;
        case FileReplacement::Kind::Direct: {
            std::FILE* file = OpenInPlace(target, error);
            return file ? CreateWithCStream(file, MODE_WRITE) : nullptr;
        }
        case FileReplacement::Kind::Replace:
            break;
    }
    auto replacement = FileReplacement::Begin(target, error);
    if (!replacement) return nullptr;
    std::FILE* file = fdopen(replacement->ReleaseDescriptor(), "wb");
    if (!file) {
        error = errno;
        return nullptr;
    }
    auto stream = CreateWithCStream(file, MODE_WRITE);
    stream->_replacement = std::move(replacement);
    return stream;
}

std::shared_ptr<TCStream> TCStream::OpenFile(const String& path, bool readable, bool writeable) {
    if (writeable && !readable) {
        int error = 0;
        auto stream = OpenFileForWriting(path, error);
        errno = error;
        return stream;
    }
    const char* mode_text = "rb";
    int mode = MODE_READ;
    if (readable && writeable) {
        mode_text = "r+b";
        mode = MODE_READ | MODE_WRITE;
    }
    String unix_path = path;
    std::replace(unix_path.begin(), unix_path.end(), u'\\', u'/');
    std::FILE* file = std::fopen(ToUtf8(unix_path).c_str(), mode_text);
    if (!file && !writeable) {
        const String resolved = ResolvePathCase(unix_path);
        if (!resolved.empty()) file = std::fopen(ToUtf8(resolved).c_str(), mode_text);
    }
    if (!file) return nullptr;
    return CreateWithCStream(file, mode);
}

std::shared_ptr<TCStream> TCStream::CreateWithCStream(std::FILE* cstream, int mode) {
    auto stream = std::make_shared<TCStream>();
    stream->_cstream = cstream;
    stream->_mode = mode;
    stream->_pos = ftello(cstream);
    if (stream->_pos < 0) {
        // Pipes and terminals have no position: -1 tells every caller that this stream
        // cannot seek, and its size stays 0, so only a Read of 0 bytes ends the data.
        stream->_pos = -1;
        stream->_size = 0;
        return stream;
    }
    fseeko(cstream, 0, SEEK_END);
    stream->_size = std::max<int64_t>(ftello(cstream), stream->_pos);
    fseeko(cstream, stream->_pos, SEEK_SET);
    return stream;
}

bool TCStream::Eof() {
    return _pos < 0 ? _ended : TStream::Eof();
}

int64_t TCStream::Pos() {
    return _pos;
}
int64_t TCStream::Size() {
    return _size;
}

int64_t TCStream::Seek(int64_t pos) {
    if (!_cstream) return 0;
    fseeko(_cstream, pos, SEEK_SET);
    _pos = ftello(_cstream);
    return _pos;
}

int64_t TCStream::Read(void* buffer, int64_t count) {
    if (!_cstream || count <= 0) return 0;
    const auto n =
        static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), _cstream));
    if (_pos >= 0) _pos += n;
    if (n < count && std::feof(_cstream)) _ended = true;
    if (n < count && std::ferror(_cstream)) NoteError();
    return n;
}

int64_t TCStream::Write(const void* buffer, int64_t count) {
    if (!_cstream || count <= 0) return 0;
    const auto n =
        static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), _cstream));
    if (_pos >= 0) {
        _pos += n;
        if (_pos > _size) _size = _pos;
    }
    // stdio keeps the bytes in its buffer and reports a failed write to the file only when
    // it empties the buffer, perhaps during a later call. Once that has happened nothing
    // written here can be trusted to arrive, so this and every later write reports failure.
    if (!std::ferror(_cstream)) return n;
    NoteError();
    return 0;
}

void TCStream::NoteError() {
    if (_error == 0) _error = errno != 0 ? errno : EIO;
}

int TCStream::Flush() {
    if (!_cstream) return 0;
    const bool flushed = std::fflush(_cstream) == 0;
    if (flushed && !std::ferror(_cstream)) return 0;
    NoteError();
    return -1;
}

int TCStream::Close() {
    if (!_cstream) return 0;
    int result = Flush();
    if (_replacement && result == 0 && !_replacement->Sync(fileno(_cstream), _error)) {
        result = -1;
    }
    if (std::fclose(_cstream) != 0) {
        NoteError();
        result = -1;
    }
    // Only a new file whose every byte arrived replaces the target; it is closed first, so
    // that the target's name never stands for a file still open for writing.
    if (_replacement && result == 0 && !_replacement->Commit(_error)) result = -1;
    _cstream = nullptr;
    _replacement.reset();
    _pos = 0;
    _size = 0;
    _ended = false;
    return result;
}

}  // namespace vexel
