#include "audio/mixer/sonmix_driver.h"

#include <algorithm>
#include <cmath>

#include "audio/mixer/internal/oss_output.h"
#include "audio/mixer/internal/pulse_output.h"
#include "audio/mixer/internal/sonmix_mixer.h"
#include "runtime/startup.h"

namespace vexel {

namespace {

// x × scale as an integer, truncated toward zero and held within [low, high].
int32_t ToFixed(float x, double scale, double low, double high) {
    const double value = static_cast<double>(x) * scale;
    if (std::isnan(value)) return 0;
    return static_cast<int32_t>(std::clamp(value, low, high));
}

int32_t ToFixed16(float x) {
    return ToFixed(x, 4096.0, -32768.0, 32767.0);
}

String& StartFailure() {
    static String failure;
    return failure;
}

// The outputs mode -1 tries, in order, as VEXEL_AUDIO asks.
struct OutputChoice {
    bool pulse = true;
    bool oss = true;
};

OutputChoice ChosenOutputs() {
    const String wanted = ToLower(GetEnvVar(u"VEXEL_AUDIO"));
    if (wanted == u"pulse") return {true, false};
    if (wanted == u"oss") return {false, true};
    if (wanted == u"none") return {false, false};
    return {};
}

// Starts the first output of the choice that opens; null with `failure` naming what was
// tried when none does.
std::unique_ptr<MixerOutput> OpenOutput(const OutputChoice& choice,
                                        const std::shared_ptr<SonmixMixer>& mixer,
                                        std::string& failure) {
    if (choice.pulse) {
        std::string why;
        if (auto output = PulseOutput::Open(mixer, why)) {
            failure.clear();
            return output;
        }
        failure = "the sound server: " + why;
    }
    if (choice.oss) {
        if (auto output = OssOutput::Open(mixer)) {
            failure.clear();
            return output;
        }
        failure += (failure.empty() ? "" : "; ") + std::string("the OSS device ") +
                   OssOutput::DevicePath() + ": cannot be opened";
    }
    if (!choice.pulse && !choice.oss) failure = "VEXEL_AUDIO=none asks for none";
    return nullptr;
}

}  // namespace

SonmixSession::~SonmixSession() = default;

// TSonmixAudioDriver

std::shared_ptr<TSonmixAudioDriver> TSonmixAudioDriver::Create(String name, int32_t mode) {
    auto driver = std::make_shared<TSonmixAudioDriver>();
    driver->_name = std::move(name);
    driver->_mode = mode;
    RegisterAudioDriver(driver);
    return driver;
}

String TSonmixAudioDriver::Name() {
    return _name;
}

int32_t TSonmixAudioDriver::Startup() {
    Shutdown();
    if (_mode != 0 && _mode != -1) return 0;
    auto mixer = std::make_shared<SonmixMixer>();
    std::string failure;
    auto output =
        OpenOutput(_mode == 0 ? OutputChoice{false, true} : ChosenOutputs(), mixer, failure);
    StartFailure() = FromUtf8(failure);
    if (!output) return 0;
    session_ = std::make_shared<SonmixSession>();
    session_->mixer = std::move(mixer);
    session_->output = std::move(output);
    return 1;
}

void TSonmixAudioDriver::Shutdown() {
    if (!session_) return;
    session_->open = false;
    session_->output.reset();  // stops the thread and closes the device
    session_.reset();
}

SoundPtr TSonmixAudioDriver::CreateSound(const AudioSamplePtr& sample, int32_t flags) {
    if (!sample) return nullptr;
    const AudioSamplePtr source = LittleEndianSample(sample);
    const int32_t channels = AudioFormatChannels(source->format);
    if (channels == 0) return nullptr;
    const int32_t bits = AudioFormatBytesPerFrame(source->format) * 8 / channels;
    auto sound = SonmixCoreSound::Create(source->samples, source->length, source->hertz, channels,
                                         bits, (flags & SOUND_LOOP) != 0);
    if (!sound) return nullptr;
    return TSonmixSound::CreateWithSound(
        std::move(sound), std::static_pointer_cast<TSonmixAudioDriver>(shared_from_this()));
}

ChannelPtr TSonmixAudioDriver::AllocChannel() {
    if (!session_) return nullptr;
    const uint32_t handle = session_->mixer->AllocHandle();
    if (handle == 0) return nullptr;
    return TSonmixChannel::CreateWithChannel(handle, session_);
}

// TSonmixSound

std::shared_ptr<TSonmixSound> TSonmixSound::CreateWithSound(
    SonmixSoundRef sound, std::shared_ptr<TSonmixAudioDriver> driver) {
    auto result = std::make_shared<TSonmixSound>();
    result->sm_sound = std::move(sound);
    result->driver_ = std::move(driver);
    return result;
}

ChannelPtr TSonmixSound::Play(const ChannelPtr& channel) {
    return Start(channel, false);
}
ChannelPtr TSonmixSound::Cue(const ChannelPtr& channel) {
    return Start(channel, true);
}

ChannelPtr TSonmixSound::Start(const ChannelPtr& channel, bool paused) {
    const auto& session = driver_->Session();
    if (!session) return nullptr;
    uint32_t handle = 0;
    std::shared_ptr<TSonmixChannel> given;
    if (channel) {
        given = std::dynamic_pointer_cast<TSonmixChannel>(channel);
        // A channel of another driver, or of an output that has been shut down since.
        if (!given || given->session_ != session) return nullptr;
        handle = given->sm_channel;
    }
    const uint32_t started = session->mixer->Start(sm_sound, paused, handle, ElapsedMillis());
    if (started == 0) return nullptr;
    if (!given || started != handle) return TSonmixChannel::CreateWithChannel(started, session);
    return channel;
}

// TSonmixChannel

std::shared_ptr<TSonmixChannel> TSonmixChannel::CreateWithChannel(
    uint32_t handle, std::shared_ptr<SonmixSession> session) {
    auto channel = std::make_shared<TSonmixChannel>();
    channel->sm_channel = handle;
    channel->session_ = std::move(session);
    return channel;
}

TSonmixChannel::~TSonmixChannel() {
    if (SonmixMixer* mixer = Mixer()) mixer->FreeHandle(sm_channel);
}

SonmixMixer* TSonmixChannel::Mixer() const {
    return session_ && session_->open && sm_channel != 0 ? session_->mixer.get() : nullptr;
}

void TSonmixChannel::Stop() {
    if (SonmixMixer* mixer = Mixer()) mixer->Stop(sm_channel);
    sm_channel = 0;
}

void TSonmixChannel::SetPaused(int32_t paused) {
    if (SonmixMixer* mixer = Mixer()) mixer->SetPaused(sm_channel, paused != 0);
}

void TSonmixChannel::SetVolume(float volume) {
    if (SonmixMixer* mixer = Mixer()) mixer->SetVolume(sm_channel, ToFixed16(volume));
}

void TSonmixChannel::SetPan(float pan) {
    if (SonmixMixer* mixer = Mixer()) mixer->SetPan(sm_channel, ToFixed16(pan));
}

void TSonmixChannel::SetDepth(float depth) {
    if (SonmixMixer* mixer = Mixer()) mixer->SetDepth(sm_channel, ToFixed16(depth));
}

void TSonmixChannel::SetRate(float rate) {
    if (SonmixMixer* mixer = Mixer()) {
        mixer->SetRate(sm_channel, ToFixed(rate, 65536.0, INT32_MIN, INT32_MAX));
    }
}

int32_t TSonmixChannel::Playing() {
    SonmixMixer* mixer = Mixer();
    return mixer ? mixer->Playing(sm_channel) : 0;
}

int64_t TSonmixChannel::Position() {
    SonmixMixer* mixer = Mixer();
    return mixer ? mixer->Position(sm_channel) : 0;
}

String SonmixStartFailure() {
    return StartFailure();
}

void RegisterSonmixDrivers() {
    TSonmixAudioDriver::Create(u"Sonmix OpenSound System", 0);
    TSonmixAudioDriver::Create(u"Sonmix", -1);
}

}  // namespace vexel
