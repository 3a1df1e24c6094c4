#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <variant>
#include <vector>

#include "audio/audio_sample.h"
#include "runtime/object.h"
#include "stream/url.h"

namespace vexel {

class TChannel;
class TSound;
using ChannelPtr = std::shared_ptr<TChannel>;
using SoundPtr = std::shared_ptr<TSound>;

// Sound flag: loop the sound. Other bits are ignored.
constexpr int32_t SOUND_LOOP = 1;

// What a sound is made from: a sample in memory, or a path, url or stream to load one from.
class SoundSource {
  public:
    // A sample in memory.
    SoundSource(AudioSamplePtr sample) : value_(std::move(sample)) {}
    // A path, url or stream to load a sample from.
    template <typename T>
    requires std::is_constructible_v<Url, T> SoundSource(T&& url)
        : value_(Url(std::forward<T>(url))) {}

    // The sample if this source is one, else null.
    AudioSamplePtr Sample() const;
    // The url if this source is one, else the empty url.
    Url AsUrl() const;

  private:
    std::variant<AudioSamplePtr, Url> value_;
};

// One voice a sound plays on. The base type is the Null driver's channel: it does nothing.
class TChannel : public Object {
  public:
    // Stops the sound on this channel for good.
    virtual void Stop();
    // Pauses (non-zero) or resumes the sound.
    virtual void SetPaused(int32_t paused);
    // Loudness, 0 silent to 1 as recorded.
    virtual void SetVolume(float volume);
    // Position between the speakers, -1 left, 0 centre, 1 right.
    virtual void SetPan(float pan);
    // Surround depth, 0 none; a negative depth inverts the right channel.
    virtual void SetDepth(float depth);
    // Playback speed, 1 as recorded, 2 an octave higher.
    virtual void SetRate(float rate);
    // 1 while a sound plays on the channel (not paused, not finished), else 0.
    virtual int32_t Playing();
};

// A loaded sound, owned by the driver that made it. The base type is the Null driver's
// sound: playing it gives a channel that does nothing.
class TSound : public Object {
  public:
    // Plays on `channel` (replacing what it played) or, with null, on a free voice; returns
    // the channel it plays on, or null when no voice is free.
    virtual ChannelPtr Play(const ChannelPtr& channel);
    // As Play, but the channel starts paused.
    virtual ChannelPtr Cue(const ChannelPtr& channel);

    // A sound of the current driver from a sample, or from a sample loaded from a url. Null
    // when the sample cannot be loaded.
    static SoundPtr Load(const SoundSource& source, int32_t flags);
};

// An audio output. The base type is the "Null" driver, whose sounds make no sound.
class TAudioDriver : public Object {
  public:
    // The base Null driver, linked into the driver list.
    static std::shared_ptr<TAudioDriver> Create();

    // The name the driver is selected by ("Null" here).
    virtual String Name();
    // 1 when the output is ready, 0 when it cannot be opened.
    virtual int32_t Startup();
    // Closes the output; sounds and channels of the driver go quiet.
    virtual void Shutdown();
    // A sound of this driver playing `sample` (SOUND_LOOP in `flags` loops it).
    virtual SoundPtr CreateSound(const AudioSamplePtr& sample, int32_t flags);
    // A channel of this driver to play sounds on.
    virtual ChannelPtr AllocChannel();
    // TSound::Load with this driver current.
    virtual SoundPtr LoadSound(const SoundSource& source, int32_t flags);

    std::shared_ptr<TAudioDriver> _succ;
};

using AudioDriverPtr = std::shared_ptr<TAudioDriver>;

// Links a new driver at the head of the driver list; drivers are never removed. Every
// driver's Create function calls it.
void RegisterAudioDriver(const AudioDriverPtr& driver);

// Shuts the current driver down and makes the driver whose name equals `name` (ignoring
// case) current after starting it. 0 when no such driver exists or it fails to start; the
// Null driver is current then.
int32_t SelectAudioDriver(const String& name);
// The current driver. Before any selection it selects "Sonmix", falling back to "Null".
AudioDriverPtr CurrentAudioDriver();
// Shuts the current driver down and makes the Null driver current. Runs at process exit.
void ShutdownAudioDriver();
// The names of the listed drivers, newest first, at most 100.
std::vector<String> AudioDriverNames();
// 1 when a driver of that name (ignoring case) is listed.
int32_t HasAudioDriver(const String& name);
// Forgets the selection, so that the next CurrentAudioDriver chooses again as at start.
// For tests that need the first-use behaviour.
void ResetAudioDriverSelection();

// How the program introduces itself to the desktop's sound server, whose volume control
// lists it: its name and the name of its icon in the desktop's icon theme. An output reads
// them when it starts, so set them before the first sound loads.
void SetAudioClientIdentity(const String& name, const String& icon_name);
// The name given to SetAudioClientIdentity, or else the file name of the program.
String AudioClientName();
// The icon name given to SetAudioClientIdentity, or else empty (no icon).
String AudioClientIconName();

// The current driver's LoadSound.
SoundPtr LoadSoundFile(const SoundSource& source, int32_t flags);
// The sound's Play and Cue: plays on `channel`, or on a free voice when it is null.
// @{
ChannelPtr StartSound(const SoundPtr& sound, const ChannelPtr& channel);
ChannelPtr PrepareSound(const SoundPtr& sound, const ChannelPtr& channel);
// @}
// The current driver's AllocChannel.
ChannelPtr AllocAudioChannel();

// The channel's Stop, Playing, SetVolume, SetPan, SetDepth and SetRate, and SetPaused(1)
// and SetPaused(0). The channel must not be null.
// @{
void HaltChannel(const ChannelPtr& channel);
int32_t ChannelIsPlaying(const ChannelPtr& channel);
void SetVolumeOf(const ChannelPtr& channel, float volume);
void SetPanOf(const ChannelPtr& channel, float pan);
void SetDepthOf(const ChannelPtr& channel, float depth);
void SetRateOf(const ChannelPtr& channel, float rate);
void HoldChannel(const ChannelPtr& channel);
void ContinueChannel(const ChannelPtr& channel);
// @}

}  // namespace vexel
