#include "game/termination.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace morvelle {
namespace {

enum class Phase { Running, EndRequested, Ending };

// Written by the signal thread and the main thread, read by both.
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
// main thread needs no wake-up: the frame timer wakes its wait 62.5 times a second, and the
// loop checks the request after every frame.
void TakeSignals(sigset_t signals) {
    for (;;) {
        int signal_number = 0;
        if (sigwait(&signals, &signal_number) != 0) continue;
        Phase running = Phase::Running;
        if (phase.compare_exchange_strong(running, Phase::EndRequested)) continue;
        // Asked again while ending: die of the signal, as if we had never caught it.
        signal(signal_number, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal_number);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        raise(signal_number);
    }
}

}  // namespace

void CatchTerminationSignals() {
    const sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(TakeSignals, signals).detach();
}

bool TerminationRequested() {
    return phase.load() != Phase::Running;
}

void MarkProgramEnding() {
    phase.store(Phase::Ending);
}

}  // namespace morvelle
