#pragma once

// SIGINT, SIGTERM and SIGHUP as a request to end the game the way Escape does, so that the
// exit handlers still save the options and the scores.

namespace morvelle {

// Blocks the three signals in the calling thread (and so in every thread started after it)
// and starts a thread that takes them: the first one sets the request, which the frame loop
// answers after the frame in progress; one that comes while the program is already ending ends the
// process at once. Call once, first thing on the main thread, before any other thread exists.
void CatchTerminationSignals();

// True once a termination signal asked the program to end.
bool TerminationRequested();

// The program is ending: a signal now ends the process at once.
void MarkProgramEnding();

}  // namespace morvelle
