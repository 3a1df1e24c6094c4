#pragma once

#include <cstdint>
#include <string>

#include "support/test_support.h"

namespace vexel::testing {

// A tmpfs of a few pages mounted on a fresh directory, so that tests can fill a file system
// and watch what a save reports. Mounting needs root, which the test command has in CI;
// elsewhere Mounted() is false and tests fall back to /dev/full (every write fails) or skip.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(int64_t bytes = 64 * 1024);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    // `name` inside the file system.
    std::string operator/(const std::string& name) const { return dir_ / name; }
    // Fills the file system with one filler file until exactly `free_bytes` (a multiple of
    // 4096) can still be written.
    void Fill(int64_t free_bytes);
    // Bytes a file can still take.
    int64_t FreeBytes() const;
    // Mounts the file system again read-only (EROFS for every change, even root's).
    void MakeReadOnly();

  private:
    TempDir dir_;
    bool mounted_ = false;
};

// Where a save fails at its first byte that reaches the disk: a file on `fs`, filled up, or
// /dev/full when no file system could be mounted.
std::string FullDiskPath(SmallFileSystem& fs, const std::string& name);

}  // namespace vexel::testing
