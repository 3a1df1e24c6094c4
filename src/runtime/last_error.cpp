#include "runtime/last_error.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace vexel {

namespace {

// What one thread knows of its failures: the last message, and the public call it is in.
struct ThreadFailures {
    String last;
    int depth = 0;
    std::u16string_view call;  // the outermost scope's
    bool pending = false;      // a failure recorded inside that scope, not yet reported
    String resource;
    String cause;
};

ThreadFailures& Failures() {
    thread_local ThreadFailures failures;
    return failures;
}

// Shared by every thread; replaced whole, so an echo in progress keeps the one it took.
std::atomic<std::shared_ptr<const ErrorEcho>>& Echo() {
    static std::atomic<std::shared_ptr<const ErrorEcho>> echo{
        std::make_shared<const ErrorEcho>(EchoErrorToStandardError)};
    return echo;
}

void Report(std::u16string_view call, std::u16string_view resource, std::u16string_view cause) {
    String message(call);
    message += u": ";
    if (!resource.empty()) {
        message += u'"';
        message += resource;
        message += u"\": ";
    }
    message += cause;
    // A misuse repeated every frame (drawing with no window) is echoed once, not per frame.
    const bool repeated = message == Failures().last;
    Failures().last = message;
    if (repeated) return;
    const std::shared_ptr<const ErrorEcho> echo = Echo().load(std::memory_order_acquire);
    if (echo && *echo) (*echo)(message);
}

}  // namespace

String LastError() {
    return Failures().last;
}

void ClearLastError() {
    Failures().last.clear();
}

void SetErrorEcho(ErrorEcho echo) {
    Echo().store(echo ? std::make_shared<const ErrorEcho>(std::move(echo)) : nullptr,
                 std::memory_order_release);
}

void EchoErrorToStandardError(const String& message) {
    // One write of the whole line, so that lines of two threads never interleave.
    const std::string line =
        std::string(program_invocation_short_name) + ": " + ToUtf8(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

String DescribeSystemError(int error) {
    return FromUtf8(std::generic_category().message(error));
}

void RecordFailure(std::u16string_view call, std::u16string_view resource,
                   std::u16string_view cause) {
    ThreadFailures& failures = Failures();
    if (failures.depth == 0) {
        const int error = errno;  // callers may still read theirs
        Report(call, resource, cause);
        errno = error;
        return;
    }
    if (!failures.pending) {
        failures.pending = true;
        failures.cause = cause;
    }
    if (failures.resource.empty()) failures.resource = resource;
}

void DiscardFailure() {
    ThreadFailures& failures = Failures();
    failures.pending = false;
    failures.resource.clear();
    failures.cause.clear();
}

FailureScope::FailureScope(std::u16string_view call) {
    ThreadFailures& failures = Failures();
    if (failures.depth++ == 0) {
        failures.call = call;
        DiscardFailure();
    }
}

FailureScope::~FailureScope() {
    ThreadFailures& failures = Failures();
    if (--failures.depth > 0 || !failures.pending) return;
    const String resource = std::move(failures.resource);
    const String cause = std::move(failures.cause);
    DiscardFailure();
    // An echo that throws must not escape a destructor.
    const int error = errno;
    try {
        Report(failures.call, resource, cause);
    } catch (...) {
    }
    errno = error;
}

}  // namespace vexel
