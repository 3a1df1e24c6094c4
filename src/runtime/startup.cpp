#include "runtime/startup.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "runtime/error.h"

namespace vexel {

namespace {

struct ProcessState {
    String launch_dir;
    String app_file;
    String app_dir;
    String app_title = u"Vexel Application";
    std::vector<String> args;
    std::vector<std::function<void()>> exit_handlers;
};

ProcessState& State() {
    static ProcessState state;
    return state;
}

std::string CurrentDirectory() {
    std::string buffer(4096, '\0');
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return {};
    buffer.resize(buffer.find('\0'));
    return buffer;
}

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const std::string link = "/proc/" + std::to_string(getpid()) + "/exe";
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

// Where the program stands for the signal thread; written by it and by the main thread.
enum class Phase { Running, EndRequested, Ending };
std::atomic<Phase> phase{Phase::Running};

sigset_t TerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

// Runs on its own thread for the rest of the process and touches nothing but the phase. The
// main thread needs no wake-up: a program that catches the signals polls the request.
void TakeSignals(sigset_t signals) {
    for (;;) {
        int signal_number = 0;
        if (sigwait(&signals, &signal_number) != 0) continue;
        Phase running = Phase::Running;
        if (phase.compare_exchange_strong(running, Phase::EndRequested)) continue;
        // Asked again while ending: die of the signal, as if it had never been caught.
        signal(signal_number, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal_number);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        raise(signal_number);
    }
}

void RunExitHandlers() {
    phase.store(Phase::Ending);
    auto& handlers = State().exit_handlers;
    while (!handlers.empty()) {
        const auto handler = std::move(handlers.back());
        handlers.pop_back();
        try {
            handler();
        } catch (const std::exception& error) {
            std::fputs(error.what(), stderr);
        }
    }
}

void WriteUncaught(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void StartProcess(int argc, char** argv) {
    auto& state = State();
    const std::string launch = CurrentDirectory();
    state.launch_dir = FromUtf8(launch);
    const std::string exe = ExecutablePath();
    state.app_file = FromUtf8(exe);
    const auto slash = exe.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash);
    state.app_dir = FromUtf8(dir);
    if (!exe.empty()) {
        // An executable in the root directory leaves an empty directory part; "/" is meant.
        if (chdir(dir.empty() ? "/" : dir.c_str()) != 0) {
            // The directory vanished under us; staying where we are is all we can do.
        }
    }
    state.app_title = u"Vexel Application";
    state.args.clear();
    for (int i = 0; i < argc; ++i)
        state.args.push_back(FromUtf8(argv[i]));
}

const String& LaunchDir() {
    return State().launch_dir;
}
const String& AppFile() {
    return State().app_file;
}
const String& AppDir() {
    return State().app_dir;
}
String AppName() {
    const String& file = State().app_file;
    if (file.empty()) return State().app_title;
    return file.substr(file.rfind(u'/') + 1);
}
const String& AppTitle() {
    return State().app_title;
}
void SetAppTitle(const String& title) {
    State().app_title = title;
}
const std::vector<String>& AppArgs() {
    return State().args;
}

int32_t ElapsedMillis() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const int64_t millis = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<int32_t>(static_cast<uint32_t>(millis));
}

String GetEnvVar(const String& name) {
    const char* value = std::getenv(ToUtf8(name).c_str());
    return value ? FromUtf8(value) : String();
}

void CatchTerminationSignals() {
    const sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(TakeSignals, signals).detach();
}

bool TerminationRequested() {
    return phase.load() != Phase::Running;
}

void AddExitHandler(std::function<void()> handler) {
    State().exit_handlers.push_back(std::move(handler));
    // std::exit runs atexit functions and the destructors of statics in the reverse order of
    // their registration and construction. Registering the trampoline again with every
    // handler lets the handlers run before any static made before this one was added goes
    // away: a module that makes its state and then adds its handler finds that state alive.
    // The first run empties the list; the later ones find nothing to do.
    std::atexit(RunExitHandlers);
}

namespace {

// The framework's own ways out run the handlers first and then exit, so that the handlers
// find every module's state alive. Through std::exit alone they would run only after the
// statics made since the newest handler was added had been destroyed.
[[noreturn]] void Exit(int status) {
    RunExitHandlers();
    std::exit(status);
}

}  // namespace

void EndProgram() {
    Exit(0);
}

void RunProgram(int argc, char** argv, const std::function<void()>& body) {
    StartProcess(argc, argv);
    try {
        body();
    } catch (const Exception& error) {
        WriteUncaught(ToUtf8(error.ToString()));
        Exit(255);
    } catch (const std::exception& error) {
        WriteUncaught(error.what());
        Exit(255);
    } catch (...) {
        WriteUncaught("Unknown exception");
        Exit(255);
    }
    Exit(0);
}

}  // namespace vexel
