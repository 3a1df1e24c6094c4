// A program that exercises the process start-up and exit paths for the runtime tests.
//   exit_probe end        registers three handlers (the last one reads module state made
//                         after the first), then EndProgram
//   exit_probe throw      registers two handlers, throws, registers a third (never reached)
//   exit_probe return     registers one handler and returns from the body
//   exit_probe stdexit    registers a handler, then makes module state and a handler that
//                         reads it, the way a module does on first use, then std::exit
//   exit_probe signal TERM|INT|HUP
//                         catches the termination signals, registers a handler, sends
//                         itself the signal and ends when the request is seen
//   exit_probe signal-twice
//                         as "signal TERM", with a handler that sends a second signal
//                         while the program is ending
//   exit_probe where      prints the launch directory, executable, application directory,
//                         cwd and title
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/error.h"
#include "runtime/startup.h"

using namespace vexel;

namespace {

void Handler(const char* name) {
    std::printf("%s\n", name);
    std::fflush(stdout);
}

// Module state of the kind the framework keeps: a static made on first use, here only after
// the first handler was added.
struct ModuleState {
    ~ModuleState() { alive = false; }
    bool alive = true;
};

ModuleState& LateState() {
    static ModuleState state;
    return state;
}

int SignalNamed(const std::string& name) {
    return name == "INT" ? SIGINT : name == "HUP" ? SIGHUP : SIGTERM;
}

// Sends itself the signal and waits, as a frame loop would, for the request (10 s at most).
void EndOnTerminationSignal(int signal_number) {
    kill(getpid(), signal_number);
    for (int waited = 0; !TerminationRequested() && waited < 10000; ++waited)
        usleep(1000);
    if (TerminationRequested()) EndProgram();
    Handler("no request seen");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "stdexit") {
        // Without RunProgram or EndProgram: only std::exit's own order is at work.
        AddExitHandler([] { Handler("first"); });
        LateState();
        AddExitHandler([] { Handler(LateState().alive ? "late" : "late, after teardown"); });
        std::exit(0);
    }
    if (argc > 1 && std::string(argv[1]).starts_with("signal")) {
        CatchTerminationSignals();
        const std::string mode = argv[1];
        const int signal_number = SignalNamed(argc > 2 ? argv[2] : "TERM");
        RunProgram(argc, argv, [&] {
            AddExitHandler([] { Handler("saved"); });
            if (mode == "signal-twice") {
                AddExitHandler([] {
                    Handler("ending");
                    kill(getpid(), SIGTERM);
                    sleep(10);
                    Handler("outlived the second signal");
                });
            }
            EndOnTerminationSignal(signal_number);
        });
    }
    RunProgram(argc, argv, [] {
        const std::string mode = AppArgs().size() > 1 ? ToUtf8(AppArgs()[1]) : "";
        if (mode == "where") {
            char cwd[4096];
            if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
            std::printf("launch=%s\nfile=%s\napp=%s\ncwd=%s\ntitle=%s\nname=%s\n",
                        ToUtf8(LaunchDir()).c_str(), ToUtf8(AppFile()).c_str(),
                        ToUtf8(AppDir()).c_str(), cwd, ToUtf8(AppTitle()).c_str(),
                        ToUtf8(AppName()).c_str());
            return;
        }
        AddExitHandler([] { Handler("first"); });
        AddExitHandler([] { Handler("second"); });
        if (mode == "throw") throw RuntimeError(u"Kaputt: \u00fcbel");
        if (mode == "return") return;
        AddExitHandler([] { Handler(LateState().alive ? "third" : "third, after teardown"); });
        LateState();
        EndProgram();
    });
}
