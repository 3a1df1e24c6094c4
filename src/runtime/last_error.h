#pragma once

#include "runtime/cxx_standard.h"

#include "runtime/cxx_standard.h"

#include <functional>
#include <string_view>

#include "runtime/string.h"

namespace vexel {

// Why the last call failed. A call that fails for a reason outside the program (a file
// missing, unreadable or malformed, a device or server not there, a window that cannot open,
// a null object or a wrong argument) still returns what its comment documents (null, 0,
// false) and also records one message naming the call, the file or resource and the cause:
//
//   LoadSoundFile: "Data/sfx/shot.ogg": No such file or directory
//   LoadImage: "big.png": PNG: image 70000x70000 exceeds the limit of 32768
//   StartSound: the sound is null
//
// The message is kept per thread until the next failure on that thread. Each failure is also
// echoed once, by default as one line on standard error prefixed by the program's name; a
// program turns that off or sends it to its own function with SetErrorEcho. A failure with
// the same message as the thread's previous one (the same misuse every frame) is not echoed
// again.

// The calling thread's last failure message, or the empty string when there has been none
// since the thread started or since ClearLastError.
String LastError();
// Forgets the calling thread's last failure message.
void ClearLastError();

// Receives each failure message once, on the thread that failed.
using ErrorEcho = std::function<void(const String& message)>;
// Sends every later failure message to `echo`; an empty function turns the echo off. Any
// thread; a failure being echoed on another thread at the same time may still reach the
// previous echo.
void SetErrorEcho(ErrorEcho echo);
// The default echo: writes "<program name>: <message>" and a line end to standard error.
void EchoErrorToStandardError(const String& message);

// The words of the system's error number `error` ("No such file or directory").
String DescribeSystemError(int error);

// For the framework's own modules, and for libraries built on it.
//
// Records a failure of the public call `call` concerning `resource` (a path or url, or
// empty), with `cause` in plain words. Outside a FailureScope the message is stored and
// echoed at once. Inside one, the outermost scope names the call, the first cause recorded
// wins (it is the most specific one), the first non-empty resource fills in a missing one,
// and the message is stored and echoed when that scope ends, unless DiscardFailure dropped it.
// errno is left as it was.
void RecordFailure(std::u16string_view call, std::u16string_view resource,
                   std::u16string_view cause);
// Drops the failure recorded so far in the current FailureScope: a fallback succeeded.
void DiscardFailure();

// Marks a public call for the duration of its body, so that failures recorded by the calls it
// makes are reported once, under its name. Scopes nest; only the outermost counts.
class FailureScope {
  public:
    // Enters the call `call`; the text must outlive the scope (a literal does).
    explicit FailureScope(std::u16string_view call);
    // Leaves it: the outermost scope reports the failure recorded inside it, if any.
    ~FailureScope();
    FailureScope(const FailureScope&) = delete;
    FailureScope& operator=(const FailureScope&) = delete;
};

}  // namespace vexel
