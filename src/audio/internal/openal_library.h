#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <initializer_list>

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

// Reads and clears the OpenAL error, returning its name ("INVALID_VALUE", ...), "" for no
// error and "?????" for an unknown code.
String TakeOpenALError();
String OpenALErrorName(ALenum error);

}  // namespace vexel
