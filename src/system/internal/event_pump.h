#pragma once

// The event pump of the system driver over the platform's input: the wait on the desktop
// and the wake pipe, and the main-thread post queue. Only the system driver, the timers and
// the graphics window layer include this header. Main thread only unless a function says
// otherwise.

#include "runtime/object.h"

namespace vexel {

// Chooses the platform and opens the wake pipe, once.
void OpenEventPump();

// Takes every pending event of the desktop and emits what it means as TEvents, then runs the
// work posted to the main thread.
void PumpEvents();

// Sleeps until the desktop or the wake pipe has something (at most 10 seconds), then pumps.
void WaitEvents();

// Work to run on the main thread, called there as function(object, data).
using MainThreadFunction = void (*)(const ObjectPtr& object, void* data);

// Queues function(object, data) for the main thread and wakes a main thread blocked in
// WaitEvents. Any thread may call this.
void PostToMainThread(MainThreadFunction function, ObjectPtr object, void* data);

}  // namespace vexel
