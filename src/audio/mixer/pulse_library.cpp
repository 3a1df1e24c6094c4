#include "audio/mixer/internal/pulse_library.h"

#include <dlfcn.h>

#include <optional>

namespace vexel {

namespace {

template <typename Function>
bool Bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

std::optional<PulseFunctions> Load() {
    void* library = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return std::nullopt;
    PulseFunctions f{};
    // A library missing any entry point is treated as absent, so a call never lands on a
    // null pointer.
    const bool complete =
        Bind(library, "pa_mainloop_new", f.mainloop_new) &&
        Bind(library, "pa_mainloop_free", f.mainloop_free) &&
        Bind(library, "pa_mainloop_get_api", f.mainloop_get_api) &&
        Bind(library, "pa_mainloop_prepare", f.mainloop_prepare) &&
        Bind(library, "pa_mainloop_poll", f.mainloop_poll) &&
        Bind(library, "pa_mainloop_dispatch", f.mainloop_dispatch) &&
        Bind(library, "pa_mainloop_wakeup", f.mainloop_wakeup) &&
        Bind(library, "pa_proplist_new", f.proplist_new) &&
        Bind(library, "pa_proplist_free", f.proplist_free) &&
        Bind(library, "pa_proplist_sets", f.proplist_sets) &&
        Bind(library, "pa_context_new_with_proplist", f.context_new_with_proplist) &&
        Bind(library, "pa_context_connect", f.context_connect) &&
        Bind(library, "pa_context_disconnect", f.context_disconnect) &&
        Bind(library, "pa_context_unref", f.context_unref) &&
        Bind(library, "pa_context_get_state", f.context_get_state) &&
        Bind(library, "pa_stream_new_with_proplist", f.stream_new_with_proplist) &&
        Bind(library, "pa_stream_connect_playback", f.stream_connect_playback) &&
        Bind(library, "pa_stream_disconnect", f.stream_disconnect) &&
        Bind(library, "pa_stream_unref", f.stream_unref) &&
        Bind(library, "pa_stream_get_state", f.stream_get_state) &&
        Bind(library, "pa_stream_writable_size", f.stream_writable_size) &&
        Bind(library, "pa_stream_write", f.stream_write);
    if (!complete) {
        dlclose(library);
        return std::nullopt;
    }
    return f;
}

}  // namespace

const PulseFunctions* PulseLibrary() {
    static const std::optional<PulseFunctions> functions = Load();
    return functions ? &*functions : nullptr;
}

}  // namespace vexel
