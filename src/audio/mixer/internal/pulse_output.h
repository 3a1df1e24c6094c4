#pragma once

#include <memory>
#include <string>

#include "audio/mixer/internal/mixer_output.h"

namespace vexel {

// The sound server's output: a playback stream on the desktop's PulseAudio server (or
// PipeWire's, which speaks the same protocol) and the mixer thread that feeds it a block
// whenever the server has room for one, so that the server paces the mixer. The server is the
// one PULSE_SERVER names, else the desktop's default; one is never started for the program.
// The stream carries the program's name and icon (AudioClientName, AudioClientIconName) and
// the role "game".
//
// When the server goes away the thread says so on standard error in one line, keeps mixing
// in real time into nothing, and tries to connect again every second; sound resumes once a
// server answers.
class PulseOutput : public MixerOutput {
  public:
    // Connects and starts the mixer thread. Null when the client library cannot be loaded or
    // no server answers within half a second; `failure` then says which, in a few words.
    static std::unique_ptr<PulseOutput> Open(std::shared_ptr<SonmixMixer> mixer,
                                             std::string& failure);

    // Stops the thread and disconnects.
    ~PulseOutput() override;

    struct Shared;

  private:
    explicit PulseOutput(std::unique_ptr<Shared> shared);

    std::unique_ptr<Shared> shared_;
};

}  // namespace vexel
