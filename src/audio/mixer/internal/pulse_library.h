#pragma once

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>

namespace vexel {

// The few entry points of PulseAudio's client library (libpulse) that the mixer's output
// uses, looked up in the library opened at run time: the library is never linked, so a
// program starts where it is missing. PipeWire desktops serve the same protocol.
struct PulseFunctions {
    decltype(&pa_mainloop_new) mainloop_new;
    decltype(&pa_mainloop_free) mainloop_free;
    decltype(&pa_mainloop_get_api) mainloop_get_api;
    decltype(&pa_mainloop_prepare) mainloop_prepare;
    decltype(&pa_mainloop_poll) mainloop_poll;
    decltype(&pa_mainloop_dispatch) mainloop_dispatch;
    decltype(&pa_mainloop_wakeup) mainloop_wakeup;
    decltype(&pa_proplist_new) proplist_new;
    decltype(&pa_proplist_free) proplist_free;
    decltype(&pa_proplist_sets) proplist_sets;
    decltype(&pa_context_new_with_proplist) context_new_with_proplist;
    decltype(&pa_context_connect) context_connect;
    decltype(&pa_context_disconnect) context_disconnect;
    decltype(&pa_context_unref) context_unref;
    decltype(&pa_context_get_state) context_get_state;
    decltype(&pa_stream_new_with_proplist) stream_new_with_proplist;
    decltype(&pa_stream_connect_playback) stream_connect_playback;
    decltype(&pa_stream_disconnect) stream_disconnect;
    decltype(&pa_stream_unref) stream_unref;
    decltype(&pa_stream_get_state) stream_get_state;
    decltype(&pa_stream_writable_size) stream_writable_size;
    decltype(&pa_stream_write) stream_write;
};

// The library's functions, loading it on the first call ("libpulse.so.0"); null when it
// cannot be loaded or lacks one of them. The library stays loaded for the rest of the run.
// Any thread; the first call must not race another.
const PulseFunctions* PulseLibrary();

}  // namespace vexel
