#include "support/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's allocation hook (sanitizer/allocator_interface.h, which GCC does
// not install).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace vexel::testing {

namespace {

std::atomic<size_t> largest_allocation{0};

[[maybe_unused]] void NoteAllocation(const volatile void*, size_t bytes) {
    size_t seen = largest_allocation.load(std::memory_order_relaxed);
    while (bytes > seen && !largest_allocation.compare_exchange_weak(seen, bytes)) {
    }
}

[[maybe_unused]] void NoteRelease(const volatile void*) {}

}  // namespace

LargestAllocation::LargestAllocation() {
#if defined(__SANITIZE_ADDRESS__)
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteRelease) != 0;
    available_ = installed;
#endif
    largest_allocation.store(0);
}

size_t LargestAllocation::Bytes() const {
    return largest_allocation.load();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

FilledPipe::FilledPipe(const std::string& text) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    read_end_ = fds[0];
    const bool written =
        write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fds[1]);
    if (!written) throw std::runtime_error("the pipe did not take the text");
}

FilledPipe::~FilledPipe() {
    close(read_end_);
}

std::string FilledPipe::Path() const {
    return "/proc/self/fd/" + std::to_string(read_end_);
}

String U(const std::string& path) {
    return FromUtf8(path);
}

std::string SourcePath(const std::string& relative) {
    return std::string(VEXEL_SOURCE_DIR) + "/" + relative;
}

std::string BinaryPath(const std::string& relative) {
    return std::string(VEXEL_BINARY_DIR) + "/" + relative;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& working_dir) {
    // Outputs go to temporary files so that neither pipe can fill up and block the child.
    TempDir scratch;
    const std::string out_path = scratch / "out";
    const std::string err_path = scratch / "err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(126);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ProcessResult result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const int out = open(out_path.c_str(), O_RDONLY);
    const int err = open(err_path.c_str(), O_RDONLY);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    close(out);
    close(err);
    return result;
}

}  // namespace vexel::testing
