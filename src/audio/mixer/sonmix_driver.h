#pragma once

#include <cstdint>
#include <memory>

#include "audio/audio_driver.h"

namespace vexel {

class MixerOutput;
class SonmixMixer;
struct SonmixCoreSound;
using SonmixSoundRef = std::shared_ptr<const SonmixCoreSound>;

// One started output: the mixer core with its handle table and the output's thread. Sounds
// and channels keep it alive; once the driver shuts down it is closed and they do nothing.
struct SonmixSession {
    std::shared_ptr<SonmixMixer> mixer;
    std::unique_ptr<MixerOutput> output;
    bool open = true;

    ~SonmixSession();
};

// The software mixer. Mode 0 is the OSS output. Mode -1 chooses: the desktop's sound server
// when one answers, else the OSS output; the environment variable VEXEL_AUDIO set to "pulse",
// "oss" or "none" takes that one alone (none: the start fails, so the program is silent). Any
// other mode fails to start.
class TSonmixAudioDriver : public TAudioDriver {
  public:
    // Makes the driver and links it into the driver list.
    static std::shared_ptr<TSonmixAudioDriver> Create(String name, int32_t mode);

    String Name() override;
    int32_t Startup() override;
    void Shutdown() override;
    SoundPtr CreateSound(const AudioSamplePtr& sample, int32_t flags) override;
    ChannelPtr AllocChannel() override;

    // The running output, null while the driver is not started.
    const std::shared_ptr<SonmixSession>& Session() const { return session_; }

    String _name;
    int32_t _mode = 0;

  private:
    std::shared_ptr<SonmixSession> session_;
};

// A sound held by the mixer.
class TSonmixSound : public TSound {
  public:
    // A sound of `driver` over the mixer's copy of a sample.
    static std::shared_ptr<TSonmixSound> CreateWithSound(
        SonmixSoundRef sound, std::shared_ptr<TSonmixAudioDriver> driver);

    ChannelPtr Play(const ChannelPtr& channel) override;
    ChannelPtr Cue(const ChannelPtr& channel) override;

    SonmixSoundRef sm_sound;

  private:
    ChannelPtr Start(const ChannelPtr& channel, bool paused);

    std::shared_ptr<TSonmixAudioDriver> driver_;
};

// A channel handle of the mixer. Destroying the channel frees the handle; the voice plays on.
class TSonmixChannel : public TChannel {
  public:
    // A channel over the mixer voice handle `handle` of `session`.
    static std::shared_ptr<TSonmixChannel> CreateWithChannel(
        uint32_t handle, std::shared_ptr<SonmixSession> session);
    ~TSonmixChannel() override;

    void Stop() override;
    void SetPaused(int32_t paused) override;
    void SetVolume(float volume) override;
    void SetPan(float pan) override;
    void SetDepth(float depth) override;
    void SetRate(float rate) override;
    int32_t Playing() override;
    // Frames the voice has advanced so far.
    int64_t Position();

    uint32_t sm_channel = 0;  // 0 once stopped

  private:
    friend class TSonmixSound;
    // The mixer while the session is open, else null.
    SonmixMixer* Mixer() const;

    std::shared_ptr<SonmixSession> session_;
};

// What the last failed start of a mixer driver tried and why each failed, in one line for a
// message ("the sound server: no server answered; the OSS device /dev/dsp: cannot be
// opened"); empty after a start that succeeded.
String SonmixStartFailure();

// Registers "Sonmix OpenSound System" and then "Sonmix".
void RegisterSonmixDrivers();

}  // namespace vexel
