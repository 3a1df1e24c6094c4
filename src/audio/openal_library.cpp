#include "audio/internal/openal_library.h"

#include <dlfcn.h>

namespace vexel {

namespace {

OpenALFunctions g_functions{};

template <typename Function>
bool Bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace

bool LoadOpenALLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) continue;
        OpenALFunctions f{};
        // A library missing any entry point is treated as absent, so a call never lands on
        // a null pointer.
        const bool complete = Bind(library, "alGetError", f.alGetError) &&
                              Bind(library, "alGenSources", f.alGenSources) &&
                              Bind(library, "alDeleteSources", f.alDeleteSources) &&
                              Bind(library, "alSourcei", f.alSourcei) &&
                              Bind(library, "alSourcef", f.alSourcef) &&
                              Bind(library, "alSource3f", f.alSource3f) &&
                              Bind(library, "alGetSourcei", f.alGetSourcei) &&
                              Bind(library, "alSourcePlay", f.alSourcePlay) &&
                              Bind(library, "alSourcePause", f.alSourcePause) &&
                              Bind(library, "alSourceStop", f.alSourceStop) &&
                              Bind(library, "alSourceRewind", f.alSourceRewind) &&
                              Bind(library, "alGenBuffers", f.alGenBuffers) &&
                              Bind(library, "alDeleteBuffers", f.alDeleteBuffers) &&
                              Bind(library, "alBufferData", f.alBufferData) &&
                              Bind(library, "alcOpenDevice", f.alcOpenDevice) &&
                              Bind(library, "alcCloseDevice", f.alcCloseDevice) &&
                              Bind(library, "alcCreateContext", f.alcCreateContext) &&
                              Bind(library, "alcDestroyContext", f.alcDestroyContext) &&
                              Bind(library, "alcMakeContextCurrent", f.alcMakeContextCurrent) &&
                              Bind(library, "alcGetString", f.alcGetString);
        if (!complete) {
            dlclose(library);
            continue;
        }
        // The library stays loaded for the rest of the run.
        g_functions = f;
        return true;
    }
    return false;
}

const OpenALFunctions& OpenAL() {
    return g_functions;
}

std::unique_ptr<OpenALDevice> OpenALDevice::Open(const char* name) {
    ALCdevice* const device = g_functions.alcOpenDevice(name);
    return device ? std::make_unique<OpenALDevice>(device) : nullptr;
}

OpenALDevice::~OpenALDevice() {
    g_functions.alcCloseDevice(handle);
}

std::unique_ptr<OpenALContext> OpenALContext::Create(const OpenALDevice& device) {
    ALCcontext* const context = g_functions.alcCreateContext(device.handle, nullptr);
    return context ? std::make_unique<OpenALContext>(context) : nullptr;
}

OpenALContext::~OpenALContext() {
    g_functions.alcMakeContextCurrent(nullptr);
    g_functions.alcDestroyContext(handle);
}

String OpenALErrorName(ALenum error) {
    switch (error) {
        case AL_NO_ERROR:
            return u"";
        case AL_INVALID_NAME:
            return u"INVALID_NAME";
        case AL_INVALID_ENUM:
            return u"INVALID_ENUM";
        case AL_INVALID_VALUE:
            return u"INVALID_VALUE";
        case AL_INVALID_OPERATION:
            return u"INVALID_OPERATION";
        case AL_OUT_OF_MEMORY:
            return u"OUT_OF_MEMORY";
        default:
            return u"?????";
    }
}

String TakeOpenALError() {
    return OpenALErrorName(OpenAL().alGetError());
}

}  // namespace vexel
