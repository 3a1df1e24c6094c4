#pragma once

#include <memory>
#include <string>

#include "audio/mixer/internal/mixer_output.h"

namespace vexel {

// The OSS output: the device opened for writing and the mixer thread that mixes one block
// after another and writes each to it.
class OssOutput : public MixerOutput {
  public:
    // The device is the path in the environment variable AUDIODEV, or "/dev/dsp".
    static std::string DevicePath();

    // Opens the device and starts the mixer thread; null when the device cannot be opened.
    static std::unique_ptr<OssOutput> Open(std::shared_ptr<SonmixMixer> mixer);

    // Stops the thread (waiting at most about five seconds) and closes the device.
    ~OssOutput() override;

    struct Shared;

  private:
    explicit OssOutput(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};

}  // namespace vexel
