#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/string.h"

namespace vexel {

// Paths are "/"-separated strings; every function first reads "\" as "/". Paths go to the
// system as UTF-8 and entry names come back decoded from UTF-8. Failures are reported only
// through results (false, -1, 0, empty string, empty array, null). The copies of files and
// trees, which go through streams, are file_copy.h's.

constexpr int32_t PATH_NONE = 0;       // missing, or neither a regular file nor a directory
constexpr int32_t PATH_FILE = 1;       // a regular file
constexpr int32_t PATH_DIRECTORY = 2;  // a directory

// Backslashes become "/"; with `as_directory` a trailing "/" is dropped unless the path is
// the root.
String NormalizePathName(const String& path, bool as_directory);

String PathRootOf(const String& path);            // "/" for an absolute path, else empty
bool IsFileSystemRoot(const String& path);        // "/" (also written "//" or "\\")
bool IsAbsolutePathName(const String& path);      // begins at the root
String FileNamePart(const String& path);          // after the last "/"
String WithoutExtension(const String& path);      // up to the last "." of the file name
String BareFileName(const String& path);          // file name without extension
String WithoutTrailingSlash(const String& path);  // NormalizePathName(path, true)
// Before the last "/" ("/" for "/x"); ".", ".." and the root as they are; empty without "/".
String DirectoryPart(const String& path);
String ExtensionPart(const String& path);  // after the last "." of the file name
String WorkingDirectoryPath();             // the process's; empty when it cannot be read
// The absolute form with "." and ".." resolved textually; links are not followed and the
// path need not exist. ".." at the root stays at the root, so the result is never empty.
String AbsolutePathName(const String& path);

// Queries follow symbolic links.
int32_t PathKind(const String& path);          // PATH_NONE, PATH_FILE or PATH_DIRECTORY
int64_t PathByteSize(const String& path);      // -1 when missing
int64_t PathModifiedTime(const String& path);  // seconds since 1970; 0 when missing
int32_t PathPermissions(const String& path);   // mode & 0777; -1 when missing
void SetPathPermissions(const String& path, int32_t mode);  // chmod; failures are ignored

// Replaces whatever is at the path with an empty regular file.
bool MakeEmptyFile(const String& path);
// True when nothing is left at the path.
bool RemoveFile(const String& path);
// Renames `from` to `to` (within one file system), replacing a file at `to`.
bool MovePath(const String& from, const String& to);
// Recursive: creates every missing directory of the absolute path; false when a component
// is a regular file or cannot be created.
bool MakeDirectory(const String& path, bool recursive);
// Recursive: removes the contents first. Symbolic links inside are removed as links, never
// followed, and a path that is itself a link is not emptied.
bool RemoveDirectory(const String& path, bool recursive);
// Makes `path` the process's working directory; false when it cannot.
bool ChangeWorkingDirectory(const String& path);

// An open directory listing; closes itself when destroyed.
class DirectoryListing;
struct DirectoryListingCloser {
    // Closes and frees the listing.
    void operator()(DirectoryListing* listing) const;
};
using DirectoryListingPtr = std::unique_ptr<DirectoryListing, DirectoryListingCloser>;

DirectoryListingPtr OpenDirectoryListing(const String& path);  // null on failure
// The next entry name ("." and ".." included), or the empty string when there are no more.
String NextDirectoryEntry(DirectoryListing& listing);
void CloseDirectoryListing(DirectoryListingPtr& listing);  // closes it now; null afterwards
// Entry names in the order the system gives them; empty when the directory cannot be read.
std::vector<String> ListDirectoryNames(const String& path, bool skip_dots);

}  // namespace vexel
