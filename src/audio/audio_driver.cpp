#include "audio/audio_driver.h"

#include "audio/internal/builtin_drivers.h"
#include "runtime/registry.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

constexpr size_t kMaxDriverNames = 100;

struct DriverState {
    Registry<TAudioDriver> drivers;
    AudioDriverPtr null_driver;
    AudioDriverPtr current;
    bool started = false;
    bool selected = false;
    // How the program introduces itself to a sound server; empty until set.
    String client_name;
    String client_icon_name;
};

DriverState& RawState() {
    static DriverState state;
    return state;
}

// The module's state, registering the built-in drivers on first use: the Null driver first
// (the oldest entry), then OpenAL when its library loads, then the two mixer drivers.
DriverState& State() {
    DriverState& state = RawState();
    if (!state.started) {
        state.started = true;
        state.null_driver = TAudioDriver::Create();
        state.current = state.null_driver;
        RegisterBuiltinAudioDrivers();
        AddExitHandler(ShutdownAudioDriver);
    }
    return state;
}

// The newest registered driver whose name matches, case-insensitively; null when none does.
AudioDriverPtr FindDriver(const String& name) {
    const String wanted = ToLower(name);
    return State().drivers.Find([&](TAudioDriver& each) { return ToLower(each.Name()) == wanted; });
}

}  // namespace

AudioSamplePtr SoundSource::Sample() const {
    const auto* sample = std::get_if<AudioSamplePtr>(&value_);
    return sample ? *sample : nullptr;
}

Url SoundSource::AsUrl() const {
    const auto* url = std::get_if<Url>(&value_);
    return url ? *url : Url();
}

void TChannel::Stop() {}
void TChannel::SetPaused(int32_t) {}
void TChannel::SetVolume(float) {}
void TChannel::SetPan(float) {}
void TChannel::SetDepth(float) {}
void TChannel::SetRate(float) {}
int32_t TChannel::Playing() {
    return 0;
}

ChannelPtr TSound::Play(const ChannelPtr&) {
    return std::make_shared<TChannel>();
}
ChannelPtr TSound::Cue(const ChannelPtr&) {
    return std::make_shared<TChannel>();
}

SoundPtr TSound::Load(const SoundSource& source, int32_t flags) {
    AudioSamplePtr sample = source.Sample();
    if (!sample) sample = LoadAudioSampleFile(source.AsUrl());
    if (!sample) return nullptr;
    return CurrentAudioDriver()->CreateSound(sample, flags);
}

AudioDriverPtr TAudioDriver::Create() {
    auto driver = std::make_shared<TAudioDriver>();
    RegisterAudioDriver(driver);
    return driver;
}

String TAudioDriver::Name() {
    return u"Null";
}
int32_t TAudioDriver::Startup() {
    return 1;
}
void TAudioDriver::Shutdown() {}
SoundPtr TAudioDriver::CreateSound(const AudioSamplePtr&, int32_t) {
    return std::make_shared<TSound>();
}
ChannelPtr TAudioDriver::AllocChannel() {
    return std::make_shared<TChannel>();
}
SoundPtr TAudioDriver::LoadSound(const SoundSource& source, int32_t flags) {
    return TSound::Load(source, flags);
}

void RegisterAudioDriver(const AudioDriverPtr& driver) {
    RawState().drivers.Link(driver);
}

int32_t SelectAudioDriver(const String& name) {
    DriverState& state = State();
    ShutdownAudioDriver();
    state.selected = true;
    state.current = state.null_driver;
    const AudioDriverPtr driver = FindDriver(name);
    if (!driver || driver->Startup() == 0) return 0;
    state.current = driver;
    return 1;
}

AudioDriverPtr CurrentAudioDriver() {
    DriverState& state = State();
    // Only the first use chooses: after a fallback to Null (or any explicit choice) the
    // device is not probed again on every call.
    if (!state.selected) {
        if (SelectAudioDriver(u"Sonmix") == 0) SelectAudioDriver(u"Null");
    }
    return state.current;
}

void ShutdownAudioDriver() {
    DriverState& state = State();
    if (state.current) state.current->Shutdown();
    state.current = state.null_driver;
}

std::vector<String> AudioDriverNames() {
    std::vector<String> names;
    for (auto driver = State().drivers.Head(); driver && names.size() < kMaxDriverNames;
         driver = driver->_succ) {
        names.push_back(driver->Name());
    }
    return names;
}

int32_t HasAudioDriver(const String& name) {
    return FindDriver(name) ? 1 : 0;
}

void ResetAudioDriverSelection() {
    ShutdownAudioDriver();
    State().selected = false;
}

void SetAudioClientIdentity(const String& name, const String& icon_name) {
    RawState().client_name = name;
    RawState().client_icon_name = icon_name;
}

String AudioClientName() {
    const String& name = RawState().client_name;
    if (!name.empty()) return name;
    const String& file = AppFile();
    const size_t slash = file.rfind(u'/');
    return slash == String::npos ? file : file.substr(slash + 1);
}

String AudioClientIconName() {
    return RawState().client_icon_name;
}

SoundPtr LoadSoundFile(const SoundSource& source, int32_t flags) {
    return CurrentAudioDriver()->LoadSound(source, flags);
}

ChannelPtr StartSound(const SoundPtr& sound, const ChannelPtr& channel) {
    return sound->Play(channel);
}

ChannelPtr PrepareSound(const SoundPtr& sound, const ChannelPtr& channel) {
    return sound->Cue(channel);
}

ChannelPtr AllocAudioChannel() {
    return CurrentAudioDriver()->AllocChannel();
}

void HaltChannel(const ChannelPtr& channel) {
    channel->Stop();
}
int32_t ChannelIsPlaying(const ChannelPtr& channel) {
    return channel->Playing();
}
void SetVolumeOf(const ChannelPtr& channel, float volume) {
    channel->SetVolume(volume);
}
void SetPanOf(const ChannelPtr& channel, float pan) {
    channel->SetPan(pan);
}
void SetDepthOf(const ChannelPtr& channel, float depth) {
    channel->SetDepth(depth);
}
void SetRateOf(const ChannelPtr& channel, float rate) {
    channel->SetRate(rate);
}
void HoldChannel(const ChannelPtr& channel) {
    channel->SetPaused(1);
}
void ContinueChannel(const ChannelPtr& channel) {
    channel->SetPaused(0);
}

}  // namespace vexel
