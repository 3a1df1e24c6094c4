#include "stream/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "stream/internal/system_path.h"

namespace vexel {

class DirectoryListing {
  public:
    explicit DirectoryListing(DIR* dir) : dir(dir) {}
    ~DirectoryListing() { closedir(dir); }
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    DIR* const dir;
};

void DirectoryListingCloser::operator()(DirectoryListing* listing) const {
    delete listing;
}

std::string SystemPath(const String& path, bool as_directory) {
    return ToUtf8(NormalizePathName(path, as_directory));
}

bool NothingAt(const std::string& system_path) {
    struct stat info {};
    return lstat(system_path.c_str(), &info) != 0;
}

namespace {

bool StatPath(const String& path, struct stat& info) {
    return stat(SystemPath(path).c_str(), &info) == 0;
}

bool IsSymbolicLink(const String& path) {
    struct stat info {};
    return lstat(SystemPath(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The last "." of the file name, or npos when the name has none.
size_t ExtensionDot(const String& path) {
    const size_t dot = path.rfind(u'.');
    if (dot == String::npos || path.find(u'/', dot) != String::npos) return String::npos;
    return dot;
}

// Entry names of a directory; false when it cannot be listed.
bool ReadEntryNames(const String& path, bool skip_dots, std::vector<String>& names) {
    auto listing = OpenDirectoryListing(path);
    if (!listing) return false;
    for (String name = NextDirectoryEntry(*listing); !name.empty();
         name = NextDirectoryEntry(*listing)) {
        if (skip_dots && (name == u"." || name == u"..")) continue;
        names.push_back(std::move(name));
    }
    return true;
}

}  // namespace

// Path strings

String NormalizePathName(const String& path, bool as_directory) {
    String normal = path;
    std::replace(normal.begin(), normal.end(), u'\\', u'/');
    if (as_directory && normal.size() > 1 && normal.back() == u'/') normal.pop_back();
    return normal;
}

String PathRootOf(const String& path) {
    const String normal = NormalizePathName(path, false);
    return !normal.empty() && normal[0] == u'/' ? u"/" : u"";
}

bool IsFileSystemRoot(const String& path) {
    return !path.empty() && NormalizePathName(path, false) == PathRootOf(path);
}

bool IsAbsolutePathName(const String& path) {
    return !PathRootOf(path).empty();
}

String FileNamePart(const String& path) {
    const String normal = NormalizePathName(path, false);
    const size_t slash = normal.rfind(u'/');
    return slash == String::npos ? normal : normal.substr(slash + 1);
}

String WithoutExtension(const String& path) {
    const String normal = NormalizePathName(path, false);
    const size_t dot = ExtensionDot(normal);
    return dot == String::npos ? normal : normal.substr(0, dot);
}

String BareFileName(const String& path) {
    return FileNamePart(WithoutExtension(path));
}

String WithoutTrailingSlash(const String& path) {
    return NormalizePathName(path, true);
}

String DirectoryPart(const String& path) {
    const String normal = NormalizePathName(path, false);
    if (normal == u"." || normal == u".." || normal == u"/") return normal;
    const size_t slash = normal.rfind(u'/');
    if (slash == String::npos) return u"";
    return slash == 0 ? u"/" : normal.substr(0, slash);
}

String ExtensionPart(const String& path) {
    const String normal = NormalizePathName(path, false);
    const size_t dot = ExtensionDot(normal);
    return dot == String::npos ? u"" : normal.substr(dot + 1);
}

String WorkingDirectoryPath() {
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) return u"";
    return NormalizePathName(FromUtf8(buffer), false);
}

String AbsolutePathName(const String& path) {
    String rest = NormalizePathName(path, false);
    String root = PathRootOf(rest);
    if (root == u"/") {
        rest.erase(0, 1);
    } else {
        root = WorkingDirectoryPath();
    }
    rest += u'/';
    size_t start = 0;
    for (size_t end = rest.find(u'/'); end != String::npos; end = rest.find(u'/', start)) {
        const String component = rest.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == u".") continue;
        if (component == u"..") {
            // Climbing above a top-level directory stays at the root instead of leaving an
            // empty string.
            const size_t slash = root.rfind(u'/');
            if (slash == String::npos || slash == 0) {
                root.assign(1, u'/');
            } else {
                root.erase(slash);
            }
            continue;
        }
        if (root.empty() || root.back() != u'/') root += u'/';
        root += component;
    }
    return root.empty() ? u"/" : root;
}

// Queries

int32_t PathKind(const String& path) {
    struct stat info {};
    if (!StatPath(path, info)) return PATH_NONE;
    if (S_ISREG(info.st_mode)) return PATH_FILE;
    if (S_ISDIR(info.st_mode)) return PATH_DIRECTORY;
    return PATH_NONE;
}

int64_t PathByteSize(const String& path) {
    struct stat info {};
    return StatPath(path, info) ? static_cast<int64_t>(info.st_size) : -1;
}

int64_t PathModifiedTime(const String& path) {
    struct stat info {};
    return StatPath(path, info) ? static_cast<int64_t>(info.st_mtime) : 0;
}

int32_t PathPermissions(const String& path) {
    struct stat info {};
    return StatPath(path, info) ? static_cast<int32_t>(info.st_mode & 0x1FF) : -1;
}

void SetPathPermissions(const String& path, int32_t mode) {
    chmod(SystemPath(path).c_str(), static_cast<mode_t>(mode));
}

// Changes

bool MakeEmptyFile(const String& path) {
    const std::string system_path = SystemPath(path);
    std::remove(system_path.c_str());
    if (std::FILE* file = std::fopen(system_path.c_str(), "wb")) std::fclose(file);
    return PathKind(path) == PATH_FILE;
}

bool RemoveFile(const String& path) {
    const std::string system_path = SystemPath(path);
    std::remove(system_path.c_str());
    return NothingAt(system_path);
}

bool MovePath(const String& from, const String& to) {
    return std::rename(SystemPath(from).c_str(), SystemPath(to).c_str()) == 0;
}

bool MakeDirectory(const String& path, bool recursive) {
    const String directory = NormalizePathName(path, true);
    if (!recursive) {
        mkdir(ToUtf8(directory).c_str(), 1023);
        return PathKind(directory) == PATH_DIRECTORY;
    }
    const String absolute = AbsolutePathName(directory) + u"/";
    // Walk /a/b/ as "/", "/a", "/a/b", creating what is missing.
    for (size_t slash = absolute.find(u'/', 1); slash != String::npos;
         slash = absolute.find(u'/', slash + 1)) {
        const String prefix = absolute.substr(0, slash);
        const int32_t kind = PathKind(prefix);
        if (kind == PATH_DIRECTORY) continue;
        if (kind == PATH_FILE) return false;
        mkdir(ToUtf8(prefix).c_str(), 1023);
        if (PathKind(prefix) != PATH_DIRECTORY) return false;
    }
    return true;
}

bool RemoveDirectory(const String& path, bool recursive) {
    const String directory = NormalizePathName(path, true);
    // Emptying goes through real directories only: a link to a directory is removed as a
    // link, so nothing outside the tree is ever deleted.
    if (recursive && !IsSymbolicLink(directory)) {
        std::vector<String> names;
        if (!ReadEntryNames(directory, true, names)) return false;
        for (const String& name : names) {
            const String entry = directory + u"/" + name;
            const int32_t kind = PathKind(entry);
            if (IsSymbolicLink(entry) || kind == PATH_FILE) {
                RemoveFile(entry);
            } else if (kind == PATH_DIRECTORY) {
                RemoveDirectory(entry, true);
            }
        }
    }
    const std::string system_path = ToUtf8(directory);
    rmdir(system_path.c_str());
    return NothingAt(system_path);
}

bool ChangeWorkingDirectory(const String& path) {
    return chdir(SystemPath(path, true).c_str()) == 0;
}

// Listings

DirectoryListingPtr OpenDirectoryListing(const String& path) {
    DIR* dir = opendir(SystemPath(path, true).c_str());
    return DirectoryListingPtr(dir ? new DirectoryListing(dir) : nullptr);
}

String NextDirectoryEntry(DirectoryListing& listing) {
    const dirent* entry = readdir(listing.dir);
    return entry ? FromUtf8(entry->d_name) : u"";
}

void CloseDirectoryListing(DirectoryListingPtr& listing) {
    listing.reset();
}

std::vector<String> ListDirectoryNames(const String& path, bool skip_dots) {
    std::vector<String> names;
    if (!ReadEntryNames(path, skip_dots, names)) names.clear();
    return names;
}

}  // namespace vexel
