#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>
#include <memory>

#include "runtime/object.h"

namespace vexel {

// Event ids; the upper bits name the group (0x100 application, 0x200 keyboard, ...).
enum EventId : int32_t {
    EVENT_APPSUSPEND = 0x101,
    EVENT_APPRESUME = 0x102,
    EVENT_APPTERMINATE = 0x103,
    EVENT_APPOPENFILE = 0x104,
    EVENT_APPIDLE = 0x105,
    EVENT_KEYDOWN = 0x201,
    EVENT_KEYUP = 0x202,
    EVENT_KEYCHAR = 0x203,
    EVENT_KEYREPEAT = 0x204,
    EVENT_MOUSEDOWN = 0x401,
    EVENT_MOUSEUP = 0x402,
    EVENT_MOUSEMOVE = 0x403,
    EVENT_MOUSEWHEEL = 0x404,
    EVENT_MOUSEENTER = 0x405,
    EVENT_MOUSELEAVE = 0x406,
    EVENT_TIMERTICK = 0x801,
    EVENT_HOTKEYHIT = 0x1001,
    EVENT_GADGETACTION = 0x2001,
    EVENT_GADGETPAINT = 0x2002,
    EVENT_GADGETSELECT = 0x2003,
    EVENT_GADGETMENU = 0x2004,
    EVENT_GADGETOPEN = 0x2005,
    EVENT_GADGETCLOSE = 0x2006,
    EVENT_GADGETDONE = 0x2007,
    EVENT_GADGETLOSTFOCUS = 0x2008,
    EVENT_GADGETSHAPE = 0x2009,
    EVENT_WINDOWMOVE = 0x4001,
    EVENT_WINDOWSIZE = 0x4002,
    EVENT_WINDOWCLOSE = 0x4003,
    EVENT_WINDOWACTIVATE = 0x4004,
    EVENT_WINDOWACCEPT = 0x4005,
    EVENT_MENUACTION = 0x8001,
    EVENT_STREAMEOF = 0x10001,
    EVENT_STREAMAVAIL = 0x10002,
    EVENT_PROCESSEXIT = 0x20001,
};

// Something that happened, announced by emitting it through the emit-event hook.
class TEvent : public Object {
  public:
    // An event with these fields; nothing is emitted yet.
    static std::shared_ptr<TEvent> Create(int32_t id, ObjectPtr source = nullptr, int32_t data = 0,
                                          int32_t mods = 0, int32_t x = 0, int32_t y = 0,
                                          ObjectPtr extra = nullptr);

    // Runs the emit-event hooks with this event. Main thread only.
    void Emit();
    String ToString() const override;

    // 0x80000001, 0x80000002, ...
    static int32_t AllocUserId();
    // Names `id` in ToString's text.
    static void RegisterId(int32_t id, const String& description);
    // The name registered for `id`; empty when none.
    static String DescriptionForId(int32_t id);

    int32_t id = 0;
    ObjectPtr source;
    int32_t data = 0;
    int32_t mods = 0;
    int32_t x = 0;
    int32_t y = 0;
    ObjectPtr extra;
};

using EventPtr = std::shared_ptr<TEvent>;

// The hook id events are emitted through (the program's first hook id).
int EmitEventHook();

// TEvent::Create.
EventPtr NewEvent(int32_t id, ObjectPtr source = nullptr, int32_t data = 0, int32_t mods = 0,
                  int32_t x = 0, int32_t y = 0, ObjectPtr extra = nullptr);
// Emits the event.
void DispatchEvent(const EventPtr& event);
// A new user event id, named `description` unless that is empty.
int32_t NewUserEventId(const String& description);

}  // namespace vexel
