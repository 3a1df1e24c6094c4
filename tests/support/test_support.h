#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/string.h"

namespace vexel::testing {

// A path (or any UTF-8 text) as the framework's String.
String U(const std::string& path);

// A fresh directory under the system's temporary folder, removed with everything in it when
// the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // `path()` joined with `name`.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A pipe holding `text` with its write end closed, to be opened by Path() (a name under
// /proc/self/fd) as a file that has no position.
class FilledPipe {
  public:
    explicit FilledPipe(const std::string& text);
    ~FilledPipe();
    FilledPipe(const FilledPipe&) = delete;
    FilledPipe& operator=(const FilledPipe&) = delete;

    std::string Path() const;

  private:
    int read_end_ = -1;
};

// The largest single heap allocation any thread has made since the object was made (one at a
// time), seen through the sanitizers' allocation hook; without the sanitizers nothing is
// seen and Available() is false.
class LargestAllocation {
  public:
    LargestAllocation();
    LargestAllocation(const LargestAllocation&) = delete;
    LargestAllocation& operator=(const LargestAllocation&) = delete;

    bool Available() const { return available_; }
    size_t Bytes() const;

  private:
    bool available_ = false;
};

// A path inside the source tree, e.g. SourcePath("tests/pixmap/data/grey.png").
std::string SourcePath(const std::string& relative);
// A path inside the build tree.
std::string BinaryPath(const std::string& relative);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Result of running a program to its end.
struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `argv[0]` with the given arguments and working directory, capturing both outputs.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir = "");

}  // namespace vexel::testing
