#include "game/saved_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "game/game_state.h"
#include "runtime/startup.h"
#include "stream/c_stream.h"
#include "stream/file_system.h"
#include "stream/stream_exception.h"
#include "stream/stream_factory.h"

namespace morvelle {
namespace {

// The per-user data folder of the XDG base directories, or empty when neither
// XDG_DATA_HOME (absolute) nor HOME says where it is.
String UserDataFolder() {
    const String xdg = vexel::GetEnvVar(u"XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == u'/') return xdg + u"/morvelle";
    const String home = vexel::GetEnvVar(u"HOME");
    if (home.empty()) return {};
    return home + u"/.local/share/morvelle";
}

// Creates `folder` and whichever of its parents are missing, for the player's eyes only (mode
// 0700, as the XDG base directories ask of the folders an application makes); true when it
// is a folder afterwards.
bool MakePrivateFolder(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        // A component that exists already is left as it is.
        mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Writes the directory entry of a rename to the disk, so the new name survives a power cut.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// New files are named ".<name>.<pid>.<n>.new" beside the file they replace.
constexpr char kSiblingEnd[] = ".new";

// Removes new files that a save of `name` left behind when its process was killed before
// the rename: those of processes that no longer exist.
void RemoveAbandonedSiblings(const std::string& folder, const std::string& name) {
    const std::string prefix = "." + name + ".";
    for (const String& entry : vexel::ListDirectoryNames(vexel::FromUtf8(folder), true)) {
        const std::string file = vexel::ToUtf8(entry);
        if (file.size() <= prefix.size() + 4 || file.compare(0, prefix.size(), prefix) != 0 ||
            !file.ends_with(kSiblingEnd)) {
            continue;
        }
        const std::string pid_text =
            file.substr(prefix.size(), file.find('.', prefix.size()) - prefix.size());
        if (pid_text.empty() || pid_text.find_first_not_of("0123456789") != std::string::npos ||
            pid_text.size() > 9) {
            continue;
        }
        if (kill(static_cast<pid_t>(std::stol(pid_text)), 0) != 0 && errno == ESRCH) {
            unlink((folder + "/" + file).c_str());
        }
    }
}

// Opens a file of a new, unused name next to `path`; -1 when none can be made.
int CreateSibling(const std::string& path, std::string& sibling) {
    static unsigned counter = 0;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    RemoveAbandonedSiblings(folder.empty() ? "." : folder.substr(0, folder.size() - 1), name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        sibling = folder + "." + name + "." + std::to_string(getpid()) + "." +
                  std::to_string(counter++) + kSiblingEnd;
        const int fd = open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes the new file's bytes through a stream and gets them onto the disk; false on any
// failure. Closes the stream either way.
bool WriteAndSync(std::FILE* file, const std::function<bool(vexel::TStream&)>& write) {
    const auto stream = vexel::TCStream::CreateWithCStream(file, vexel::TCStream::MODE_WRITE);
    bool written = false;
    try {
        written = write(*stream);
    } catch (const vexel::TStreamException&) {
        written = false;
    }
    // stdio buffers the bytes, so a full disk usually shows only when they are flushed.
    written = written && stream->Flush() == 0 && fsync(fileno(file)) == 0;
    return stream->Close() == 0 && written;
}

}  // namespace

void ChooseSaveFolder() {
    GameState& game = Game();
    game.SaveFolder = kDataFolder;
    if (access(vexel::ToUtf8(kDataFolder).c_str(), W_OK) == 0) return;
    const String folder = UserDataFolder();
    if (folder.empty() || !MakePrivateFolder(vexel::ToUtf8(folder))) return;
    game.SaveFolder = folder;
}

String SavedFilePath(const String& data_path) {
    const String prefix = String(kDataFolder) + u"/";
    if (!data_path.starts_with(prefix)) return data_path;
    return Game().SaveFolder + u"/" + data_path.substr(prefix.size());
}

String SavedFileToRead(const String& data_path) {
    const String saved = SavedFilePath(data_path);
    return vexel::PathKind(saved) == vexel::PATH_FILE ? saved : data_path;
}

bool SaveFileAtomically(const String& path, const std::function<bool(vexel::TStream&)>& write) {
    const std::string target = vexel::ToUtf8(path);
    std::string sibling;
    const int fd = CreateSibling(target, sibling);
    if (fd < 0) return false;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(sibling.c_str());
        return false;
    }
    if (!WriteAndSync(file, write) || std::rename(sibling.c_str(), target.c_str()) != 0) {
        unlink(sibling.c_str());
        return false;
    }
    const size_t slash = target.rfind('/');
    SyncFolder(slash == std::string::npos ? "." : target.substr(0, slash));
    return true;
}

void SaveGameFile(const String& data_path, const std::function<bool(vexel::TStream&)>& write) {
    const String path = SavedFilePath(data_path);
    if (!SaveFileAtomically(path, write)) {
        std::fprintf(stderr, "Morvelle: could not save %s\n", vexel::ToUtf8(path).c_str());
    }
}

void LoadGameFile(const String& data_path, const std::function<void(vexel::TStream&)>& read) {
    const vexel::StreamPtr stream = vexel::OpenFileRead(SavedFileToRead(data_path));
    if (!stream) return;
    read(*stream);
    stream->Close();
}

bool ReadBoundedLine(vexel::TStream& stream, int32_t limit, String& line) {
    line.clear();
    uint8_t byte = 0;
    while (stream.Read(&byte, 1) == 1) {
        if (byte == 0 || byte == 10) return true;
        if (byte == 13) continue;
        if (static_cast<int32_t>(line.size()) == limit) return false;
        line.push_back(static_cast<char16_t>(byte));
    }
    return true;
}

}  // namespace morvelle
