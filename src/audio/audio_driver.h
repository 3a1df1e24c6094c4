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
    SoundSource(AudioSamplePtr sample) : value_(std::move(sample)) {}
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
    virtual void Stop();
    virtual void SetPaused(int32_t paused);
    virtual void SetVolume(float volume);
    virtual void SetPan(float pan);
    virtual void SetDepth(float depth);
    virtual void SetRate(float rate);
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

    virtual String Name();
    // 1 when the output is ready, 0 when it cannot be opened.
    virtual int32_t Startup();
    virtual void Shutdown();
    virtual SoundPtr CreateSound(const AudioSamplePtr& sample, int32_t flags);
    virtual ChannelPtr AllocChannel();
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
int32_t HasAudioDriver(const String& name);
// Forgets the selection, so that the next CurrentAudioDriver chooses again as at start.
// For tests that need the first-use behaviour.
void ResetAudioDriverSelection();

SoundPtr LoadSoundFile(const SoundSource& source, int32_t flags);
ChannelPtr StartSound(const SoundPtr& sound, const ChannelPtr& channel);
ChannelPtr PrepareSound(const SoundPtr& sound, const ChannelPtr& channel);
ChannelPtr AllocAudioChannel();

void HaltChannel(const ChannelPtr& channel);
int32_t ChannelIsPlaying(const ChannelPtr& channel);
void SetVolumeOf(const ChannelPtr& channel, float volume);
void SetPanOf(const ChannelPtr& channel, float pan);
void SetDepthOf(const ChannelPtr& channel, float depth);
void SetRateOf(const ChannelPtr& channel, float rate);
void HoldChannel(const ChannelPtr& channel);
void ContinueChannel(const ChannelPtr& channel);

}  // namespace vexel
