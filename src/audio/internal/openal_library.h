#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <type_traits>

#include "runtime/string.h"

namespace vexel {

// The OpenAL entry points, looked up in a library opened at run time; the library is never
// linked. Main thread only.
struct OpenALFunctions {
    LPALGETERROR alGetError;
    LPALGENSOURCES alGenSources;
    LPALDELETESOURCES alDeleteSources;
    LPALSOURCEI alSourcei;
    LPALSOURCEF alSourcef;
    LPALSOURCE3F alSource3f;
    LPALGETSOURCEI alGetSourcei;
    LPALSOURCEPLAY alSourcePlay;
    LPALSOURCEPAUSE alSourcePause;
    LPALSOURCESTOP alSourceStop;
    LPALSOURCEREWIND alSourceRewind;
    LPALGENBUFFERS alGenBuffers;
    LPALDELETEBUFFERS alDeleteBuffers;
    LPALBUFFERDATA alBufferData;
    LPALCOPENDEVICE alcOpenDevice;
    LPALCCLOSEDEVICE alcCloseDevice;
    LPALCCREATECONTEXT alcCreateContext;
    LPALCDESTROYCONTEXT alcDestroyContext;
    LPALCMAKECONTEXTCURRENT alcMakeContextCurrent;
    LPALCGETSTRING alcGetString;
};

// The names tried, in order: the development link, older sonames, and Debian's soname.
inline constexpr std::initializer_list<const char*> kOpenALLibraryNames = {
    "libopenal.so", "libopenal.so.0", "libopenal.so.0.0.8", "libopenal.so.1"};

// Opens the first library of `names` that loads and has every entry point, and makes its
// functions the ones OpenAL() returns. False (and nothing changed) when none does.
bool LoadOpenALLibrary(std::initializer_list<const char*> names);
// The loaded entry points; only valid after LoadOpenALLibrary succeeded.
const OpenALFunctions& OpenAL();

// The public driver header keeps buffer and source names and source states in fixed-width
// integers.
static_assert(std::is_same_v<ALuint, uint32_t> && std::is_same_v<ALint, int32_t>);

// An open device of the loaded library, closed when this goes.
struct OpenALDevice {
    // The device named `name` (null: the default one), or null when it cannot be opened.
    static std::unique_ptr<OpenALDevice> Open(const char* name);
    explicit OpenALDevice(ALCdevice* device) : handle(device) {}
    ~OpenALDevice();
    OpenALDevice(const OpenALDevice&) = delete;
    OpenALDevice& operator=(const OpenALDevice&) = delete;

    ALCdevice* const handle;
};

// A context on an open device, released from being current and destroyed when this goes
// (OpenAL does not destroy a current context).
struct OpenALContext {
    // Null when the library cannot make one.
    static std::unique_ptr<OpenALContext> Create(const OpenALDevice& device);
    explicit OpenALContext(ALCcontext* context) : handle(context) {}
    ~OpenALContext();
    OpenALContext(const OpenALContext&) = delete;
    OpenALContext& operator=(const OpenALContext&) = delete;

    ALCcontext* const handle;
};

// Reads and clears the OpenAL error, returning its name ("INVALID_VALUE", ...), "" for no
// error and "?????" for an unknown code.
String TakeOpenALError();
String OpenALErrorName(ALenum error);

}  // namespace vexel
