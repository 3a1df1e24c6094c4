#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/string.h"

namespace vexel {

// Process start-up: records the launch directory, the application file (the target of
// `/proc/<pid>/exe`) and its directory, makes that directory the working directory, sets the
// default title and copies the arguments. When the link cannot be read the application file
// and directory are empty and the working directory is left alone. Call once from main;
// RunProgram does it for you.
void StartProcess(int argc, char** argv);

// The working directory the process was started in.
const String& LaunchDir();
// The path of the program's file, and its directory.
// @{
const String& AppFile();
const String& AppDir();
// @}
// How the program names itself at the start of a message on standard error: its file's name
// without the folder ("morvelle"), or the application title while the file is unknown.
String AppName();
// The application title a window opens with ("Vexel Application" until set).
// @{
const String& AppTitle();
void SetAppTitle(const String& title);
// @}
// The program's arguments, the program's name first.
const std::vector<String>& AppArgs();

// Milliseconds since system boot as a 32-bit count, from a clock that never steps.
int32_t ElapsedMillis();

// The environment variable `name`, or the empty string when it is unset.
String GetEnvVar(const String& name);

// Registers `handler` to run when the process ends through EndProgram, a return from
// RunProgram's body, an uncaught exception or std::exit. Handlers run in reverse order of
// registration, each once.
void AddExitHandler(std::function<void()> handler);

// Runs the exit handlers and ends the process with status 0.
[[noreturn]] void EndProgram();

// Opt-in: SIGINT, SIGTERM and SIGHUP become a request to end the program in order, so that
// the exit handlers still run (and save what they save). The signals are blocked in the
// calling thread, and so in every thread started after it, and a thread of the runtime takes
// them: the first sets TerminationRequested, which the program answers at a point of its
// choosing (a frame loop checks it once per frame and calls EndProgram). One that comes while
// the program is already ending (its exit handlers are running) ends the process at once, as
// the signal would have without this. Call once, on the main thread, before any other thread
// is started.
void CatchTerminationSignals();
// True once a caught termination signal asked the program to end. Any thread.
bool TerminationRequested();

// Runs start-up and `body` on the main thread. An exception nobody caught writes its text
// to standard error without a line end and ends the process with status 255 after the exit
// handlers registered so far have run. A normal return ends with status 0.
[[noreturn]] void RunProgram(int argc, char** argv, const std::function<void()>& body);

}  // namespace vexel
