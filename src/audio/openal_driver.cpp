#include "audio/openal_driver.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "audio/internal/openal_library.h"

namespace vexel {

namespace {

constexpr size_t kMaxDevices = 100;

struct OpenALState {
    std::shared_ptr<TOpenALSource> pool;  // head first
    // Bumped whenever a context is made or destroyed: names of another epoch are stale.
    uint32_t context_epoch = 1;
    bool enabled = false;
    bool usable = false;
};

OpenALState& Module() {
    static OpenALState state;
    return state;
}

const OpenALFunctions& AL() {
    return OpenAL();
}

// Errors are read after each call that can fail, and cleared; nothing reports them.
void ClearError() {
    TakeOpenALError();
}

}  // namespace

// TOpenALAudioDriver

std::shared_ptr<TOpenALAudioDriver> TOpenALAudioDriver::Create(String name, String devname) {
    auto driver = std::make_shared<TOpenALAudioDriver>();
    driver->_name = std::move(name);
    driver->_devname = std::move(devname);
    RegisterAudioDriver(driver);
    return driver;
}

String TOpenALAudioDriver::Name() {
    return _name;
}

TOpenALAudioDriver::~TOpenALAudioDriver() = default;

int32_t TOpenALAudioDriver::Startup() {
    Shutdown();
    if (!_devname.empty()) {
        _device = OpenALDevice::Open(ToUtf8(_devname).c_str());
    } else {
        _device = OpenALDevice::Open(nullptr);
        if (!_device) _device = OpenALDevice::Open("Generic Hardware");
        if (!_device) _device = OpenALDevice::Open("Generic Software");
    }
    if (!_device) return 0;
    _context = OpenALContext::Create(*_device);
    if (!_context) {
        _device.reset();
        return 0;
    }
    AL().alcMakeContextCurrent(_context->handle);
    ++Module().context_epoch;
    return 1;
}

void TOpenALAudioDriver::Shutdown() {
    if (!_device) return;
    Module().pool.reset();
    ++Module().context_epoch;
    _context.reset();
    _device.reset();
}

SoundPtr TOpenALAudioDriver::CreateSound(const AudioSamplePtr& sample, int32_t flags) {
    if (!sample || !_context) return nullptr;
    const AudioSamplePtr source = LittleEndianSample(sample);
    ALenum format = 0;
    switch (source->format) {
        case SF_MONO8:
            format = AL_FORMAT_MONO8;
            break;
        case SF_MONO16LE:
            format = AL_FORMAT_MONO16;
            break;
        case SF_STEREO8:
            format = AL_FORMAT_STEREO8;
            break;
        case SF_STEREO16LE:
            format = AL_FORMAT_STEREO16;
            break;
        default:
            // No layout OpenAL could take: no sound, rather than a buffer without data.
            return nullptr;
    }
    auto sound = std::make_shared<TOpenALSound>();
    AL().alGenBuffers(1, &sound->_buffer);
    if (!TakeOpenALError().empty()) return nullptr;
    sound->_context_epoch = Module().context_epoch;
    AL().alBufferData(sound->_buffer, format, source->samples,
                      static_cast<ALsizei>(source->ByteCount()), source->hertz);
    ClearError();
    sound->_loop = flags & SOUND_LOOP;
    return sound;
}

ChannelPtr TOpenALAudioDriver::AllocChannel() {
    return TOpenALChannel::Create(1);
}

// TOpenALSound

TOpenALSound::~TOpenALSound() {
    if (_buffer != 0 && _context_epoch == Module().context_epoch) {
        AL().alDeleteBuffers(1, &_buffer);
        ClearError();
    }
}

ChannelPtr TOpenALSound::Cue(const ChannelPtr& channel) {
    auto openal = std::dynamic_pointer_cast<TOpenALChannel>(channel);
    if (!openal) openal = TOpenALChannel::Create(0);
    openal->Cue(std::static_pointer_cast<TOpenALSound>(shared_from_this()));
    return openal;
}

ChannelPtr TOpenALSound::Play(const ChannelPtr& channel) {
    ChannelPtr cued = Cue(channel);
    cued->SetPaused(0);
    return cued;
}

// TOpenALSource

TOpenALSource::~TOpenALSource() {
    if (const ALuint id = Id()) {
        AL().alDeleteSources(1, &id);
        ClearError();
    }
}

uint32_t TOpenALSource::Id() const {
    return _context_epoch == Module().context_epoch ? _id : 0;
}

int32_t TOpenALSource::SourceState() {
    ALint state = AL_STOPPED;
    if (const ALuint id = Id()) {
        AL().alGetSourcei(id, AL_SOURCE_STATE, &state);
        ClearError();
    }
    return state;
}

int32_t TOpenALSource::Playing() {
    return SourceState() == AL_PLAYING ? 1 : 0;
}

int32_t TOpenALSource::Paused() {
    const ALint state = SourceState();
    return state == AL_PAUSED || state == AL_INITIAL ? 1 : 0;
}

int32_t TOpenALSource::Active() {
    const ALint state = SourceState();
    return state == AL_PLAYING || state == AL_PAUSED || state == AL_INITIAL ? 1 : 0;
}

void TOpenALSource::LogState() {
    const ALint state = SourceState();
    switch (state) {
        case AL_PLAYING:
            std::printf("AL_PLAYING\n");
            break;
        case AL_PAUSED:
            std::printf("AL_PAUSED\n");
            break;
        case AL_INITIAL:
            std::printf("AL_INITIAL\n");
            break;
        case AL_STOPPED:
            std::printf("AL_STOPPED\n");
            break;
        default:
            std::printf("AL_DUNNO, st=%d\n", state);
            break;
    }
}

// TOpenALChannel

std::shared_ptr<TOpenALChannel> TOpenALChannel::Create(int32_t is_static) {
    std::shared_ptr<TOpenALSource> source;
    for (auto* link = &Module().pool; *link; link = &(*link)->_succ) {
        auto& candidate = *link;
        if (candidate->_avail || !candidate->Active()) {
            source = candidate;
            ++source->_seq;
            *link = source->_succ;
            source->_succ.reset();
            if (const ALuint id = source->Id()) {
                AL().alSourceStop(id);
                AL().alSourcei(id, AL_BUFFER, 0);
                ClearError();
            }
            source->_sound.reset();
            break;
        }
    }
    if (!source) {
        source = std::make_shared<TOpenALSource>();
        source->_context_epoch = Module().context_epoch;
        AL().alGenSources(1, &source->_id);
        if (!TakeOpenALError().empty()) source->_id = 0;
    }
    auto channel = std::make_shared<TOpenALChannel>();
    channel->_source = source;
    channel->_seq = source->_seq;
    channel->_static = is_static;
    if (const ALuint id = source->Id()) {
        AL().alSourcei(id, AL_SOURCE_RELATIVE, AL_TRUE);
        AL().alSourcef(id, AL_GAIN, 1.0f);
        AL().alSourcef(id, AL_PITCH, 1.0f);
        AL().alSource3f(id, AL_POSITION, 0.0f, 0.0f, 1.0f);
        ClearError();
        if (!is_static) {
            source->_avail = 0;
            source->_succ = Module().pool;
            Module().pool = source;
        }
    } else {
        channel->_seq = source->_seq + 1;  // dead from the start
    }
    return channel;
}

TOpenALChannel::~TOpenALChannel() {
    if (!Live()) return;
    // A pooled source that still plays is left playing: that is how fire-and-forget
    // sounds work.
    if (_static || !_source->Playing()) Stop();
}

void TOpenALChannel::Cue(const std::shared_ptr<TOpenALSound>& sound) {
    if (!Live()) return;
    _source->_sound = sound;
    if (const ALuint id = _source->Id()) {
        AL().alSourceStop(id);
        // A stopped source stays stopped when played through SetPaused (0), which starts
        // only paused or initial sources; rewinding makes a reused source initial again.
        AL().alSourceRewind(id);
        AL().alSourcei(id, AL_LOOPING, sound->_loop ? AL_TRUE : AL_FALSE);
        AL().alSourcei(id, AL_BUFFER, static_cast<ALint>(sound->_buffer));
        ClearError();
    }
}

void TOpenALChannel::Stop() {
    if (!Live()) return;
    ++_source->_seq;
    if (const ALuint id = _source->Id()) {
        AL().alSourceStop(id);
        AL().alSourcei(id, AL_BUFFER, 0);
        ClearError();
    }
    _source->_sound.reset();
    if (_static) {
        _source->_avail = 1;
        _source->_succ = Module().pool;
        Module().pool = _source;
    }
}

void TOpenALChannel::SetPaused(int32_t paused) {
    if (!Live()) return;
    const ALuint id = _source->Id();
    if (id == 0) return;
    if (paused) {
        AL().alSourcePause(id);
    } else if (_source->Paused()) {
        AL().alSourcePlay(id);
    }
    ClearError();
}

void TOpenALChannel::SetVolume(float volume) {
    if (!Live() || _source->Id() == 0) return;
    AL().alSourcef(_source->Id(), AL_GAIN, volume);
    ClearError();
}

void TOpenALChannel::SetPan(float pan) {
    if (!Live() || _source->Id() == 0) return;
    // The source sits on a unit circle around the listener: -1 left, 0 ahead, 1 right.
    const double angle = static_cast<double>(pan) * 90.0 * std::numbers::pi / 180.0;
    AL().alSource3f(_source->Id(), AL_POSITION, static_cast<float>(std::sin(angle)), 0.0f,
                    static_cast<float>(-std::cos(angle)));
    ClearError();
}

void TOpenALChannel::SetDepth(float) {}

void TOpenALChannel::SetRate(float rate) {
    if (!Live() || _source->Id() == 0) return;
    AL().alSourcef(_source->Id(), AL_PITCH, rate);
    ClearError();
}

int32_t TOpenALChannel::Playing() {
    return Live() ? _source->Playing() : 0;
}

bool RegisterOpenALDriver(std::initializer_list<const char*> names) {
    if (!LoadOpenALLibrary(names)) return false;
    TOpenALAudioDriver::Create(u"OpenAL", u"");
    return true;
}

int32_t EnableOpenALAudio() {
    OpenALState& state = Module();
    if (state.enabled) return state.usable ? 1 : 0;
    state.enabled = true;
    state.usable = LoadOpenALLibrary(kOpenALLibraryNames);
    if (!state.usable) return 0;
    // A list of names, each ended by a NUL, the list ended by an empty name.
    const ALCchar* list = AL().alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
    for (size_t count = 0; list && *list && count < kMaxDevices; ++count) {
        const std::string device(list);
        TOpenALAudioDriver::Create(u"OpenAL " + FromUtf8(device), FromUtf8(device));
        list += device.size() + 1;
    }
    const ALCchar* fallback = AL().alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER);
    TOpenALAudioDriver::Create(u"OpenAL Default", fallback ? FromUtf8(fallback) : String());
    return 1;
}

}  // namespace vexel
