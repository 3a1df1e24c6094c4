#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "audio/audio_driver.h"

namespace vexel {

// An open device of the OpenAL library and a context on it; defined with the library's own
// types in audio/internal/openal_library.h.
struct OpenALDevice;
struct OpenALContext;

// A driver over OpenAL: each sound is one OpenAL buffer, each channel a view of one OpenAL
// source, with sources reused through a pool. Main thread only; OpenAL mixes on its own.
class TOpenALAudioDriver : public TAudioDriver {
  public:
    // Makes the driver for device `devname` (empty: the default device) and links it into
    // the driver list.
    static std::shared_ptr<TOpenALAudioDriver> Create(String name, String devname);
    ~TOpenALAudioDriver() override;

    String Name() override;
    int32_t Startup() override;
    void Shutdown() override;
    SoundPtr CreateSound(const AudioSamplePtr& sample, int32_t flags) override;
    ChannelPtr AllocChannel() override;

    String _name;
    String _devname;
    // Declared device first, so that the context goes first.
    std::unique_ptr<OpenALDevice> _device;
    std::unique_ptr<OpenALContext> _context;
};

class TOpenALSound : public TSound {
  public:
    ~TOpenALSound() override;
    ChannelPtr Play(const ChannelPtr& channel) override;
    ChannelPtr Cue(const ChannelPtr& channel) override;

    uint32_t _buffer = 0;  // the OpenAL buffer name
    int32_t _loop = 0;
    uint32_t _context_epoch = 0;  // the context the buffer belongs to
};

class TOpenALSource : public Object {
  public:
    ~TOpenALSource() override;

    // 1 while the source plays; while it is paused or not started yet; while either.
    // @{
    int32_t Playing();
    int32_t Paused();
    int32_t Active();
    // @}
    // Prints the state name to standard output.
    void LogState();

    std::shared_ptr<TOpenALSource> _succ;
    uint32_t _id = 0;  // the OpenAL source name
    int32_t _seq = 0;  // +1 each time the source is taken away from a channel
    std::shared_ptr<TOpenALSound> _sound;
    int32_t _avail = 0;  // 1 when a dedicated channel gave it back
    uint32_t _context_epoch = 0;

  private:
    friend class TOpenALChannel;
    // The source name while its context is still the current one, else 0.
    uint32_t Id() const;
    // AL_PLAYING, AL_PAUSED, AL_STOPPED or AL_INITIAL.
    int32_t SourceState();
};

class TOpenALChannel : public TChannel {
  public:
    // A channel on a source from the pool (or a new one); `is_static` for a dedicated
    // channel, whose source stays out of the pool until Stop.
    static std::shared_ptr<TOpenALChannel> Create(int32_t is_static);
    ~TOpenALChannel() override;

    void Stop() override;
    void SetPaused(int32_t paused) override;
    void SetVolume(float volume) override;
    void SetPan(float pan) override;
    void SetDepth(float depth) override;
    void SetRate(float rate) override;
    int32_t Playing() override;
    // Loads the sound's buffer into the source, stopped.
    void Cue(const std::shared_ptr<TOpenALSound>& sound);

    // Live while the source has not been taken away since the channel got it.
    bool Live() const { return _source && _seq == _source->_seq; }

    std::shared_ptr<TOpenALSource> _source;
    int32_t _seq = 0;
    int32_t _static = 0;
};

// Registers "OpenAL" on the default device if one of `names` loads as the OpenAL library.
bool RegisterOpenALDriver(std::initializer_list<const char*> names);
// Registers "OpenAL <device>" for every device and "OpenAL Default"; runs once. 1 when the
// library is usable.
int32_t EnableOpenALAudio();

}  // namespace vexel
