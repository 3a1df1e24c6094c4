#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>

#include "system/event.h"

namespace vexel {

// The queue of emitted events: 256 entries, newer events dropped when full. Timer ticks,
// gadget actions and window moves and sizes refresh a queued event of the same id and
// source instead of queueing another. Installed on the emit-event hook on first use of
// the event module. Main thread only.

// The oldest queued event without removing it (pumping the system once when empty), or null.
EventPtr FirstQueuedEvent();
// Removes the oldest event and makes it current; 0 (and the null event) when there is none
// even after pumping the system.
int32_t TakeEvent();
// Waits in the system driver until an event is queued, then takes it.
int32_t AwaitEvent();

// The event TakeEvent made current (a null event before the first), and its fields; the
// text is its extra object's text, the handle its source's address.
// @{
const EventPtr& CurrentEvent();
int32_t CurrentEventId();
int32_t CurrentEventData();
int32_t CurrentEventMods();
int32_t CurrentEventX();
int32_t CurrentEventY();
ObjectPtr CurrentEventExtra();
ObjectPtr CurrentEventSource();
String CurrentEventText();
uintptr_t CurrentEventSourceHandle();
// @}

// Events queued right now.
int QueuedEventCount();

}  // namespace vexel
