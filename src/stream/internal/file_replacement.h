#pragma once

#include <memory>
#include <string>

namespace vexel {

// Owns an open file descriptor and closes it, unless it was released.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    // Hands the descriptor to a new owner (a stdio handle).
    int Release();

  private:
    int fd_;
};

// The new file of a save in progress, beside the file it is to replace. Destroying it
// before Commit removes the new file, so a save that fails or is abandoned leaves only the
// old file behind.
class FileReplacement {
  public:
    // How a target path is to be written.
    enum class Kind {
        Replace,  // a regular file, a link to one, or nothing yet: through a new file
        Direct,   // anything else (a FIFO, a device): written in place
        Refused,  // a link that may not be followed, or one that names nothing
    };
    // `target` is `path` with the links it ends in followed. They are followed as the kernel
    // follows links for an open: in a sticky folder that everyone may write (/tmp), only a
    // link owned by the caller or by the folder's owner; another is Refused with `error`
    // EACCES. A link that names nothing is Refused with ENOENT (nothing is created through
    // it), and a chain of more than 40 links with ELOOP.
    static Kind KindOf(const std::string& path, std::string& target, int& error);

    // Creates the new file for `target` (which KindOf gave as Replace), with the permission
    // bits and owner of the file it replaces, after removing the new files that saves of
    // processes which died before their rename left beside it. Null with `error` set when no
    // new file can be made, or when the target exists but may not be written.
    static std::unique_ptr<FileReplacement> Begin(const std::string& target, int& error);
    // Takes charge of the new file `sibling`, open as `fd`, made to replace `target`.
    FileReplacement(std::string target, std::string sibling, int fd);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // The new file's descriptor, handed over; the caller closes it.
    int ReleaseDescriptor() { return fd_.Release(); }
    // Gets the new file's bytes (open as `fd`) onto the disk; false with `error` set.
    bool Sync(int fd, int& error);
    // Renames the new file, closed by now, over the target and syncs the folder. False with
    // `error` set when the rename fails; the new file is then removed when this object goes.
    bool Commit(int& error);

  private:
    std::string target_;
    std::string sibling_;
    FileDescriptor fd_;
    bool committed_ = false;
};

}  // namespace vexel
