#include "support/small_file_system.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vexel::testing {

SmallFileSystem::SmallFileSystem(int64_t bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
}

int64_t SmallFileSystem::FreeBytes() const {
    struct statvfs info {};
    if (statvfs(dir_.path().c_str(), &info) != 0) return -1;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

void SmallFileSystem::Fill(int64_t free_bytes) {
    const std::string filler = dir_ / "filler";
    const int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create the filler file");
    const std::vector<char> page(4096, 'x');
    int64_t size = 0;
    while (write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size()))
        size += static_cast<int64_t>(page.size());
    if (size < free_bytes || ftruncate(fd, size - free_bytes) != 0) {
        close(fd);
        throw std::runtime_error("cannot leave the free space asked for");
    }
    close(fd);
}

void SmallFileSystem::MakeReadOnly() {
    if (mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        throw std::runtime_error("cannot mount the small file system read-only");
    }
}

std::string FullDiskPath(SmallFileSystem& fs, const std::string& name) {
    if (!fs.Mounted()) return "/dev/full";
    fs.Fill(0);
    return fs / name;
}

}  // namespace vexel::testing
