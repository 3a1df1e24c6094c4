#include "system/event.h"

#include <array>

#include "system/for_testing.h"
#include "system/hook.h"
#include "system/internal/event_queue.h"
#include "system/internal/hook_table.h"
#include "system/system_driver.h"

namespace vexel {

namespace {

constexpr int kQueueSize = 256;
constexpr int kQueueHookPriority = -10000;

struct EventModule {
    EventModule();

    int emit_hook = -1;
    String descriptions = u"}";
    uint32_t user_id_counter = 0x80000000u;
    std::array<EventPtr, kQueueSize> queue;
    uint32_t put = 0;
    uint32_t get = 0;
    EventPtr null_event = std::make_shared<TEvent>();
    EventPtr current;
};

bool Coalesces(int32_t id) {
    return id == EVENT_TIMERTICK || id == EVENT_GADGETACTION || id == EVENT_WINDOWMOVE ||
           id == EVENT_WINDOWSIZE;
}

ObjectPtr QueueHook(int, const ObjectPtr& data, const ObjectPtr&);

EventModule::EventModule() : emit_hook(AllocateHookId()), current(null_event) {
    static constexpr std::pair<int32_t, const char16_t*> kDescriptions[] = {
        {EVENT_APPSUSPEND, u"AppSuspend"},
        {EVENT_APPRESUME, u"AppResume"},
        {EVENT_APPTERMINATE, u"AppTerminate"},
        {EVENT_APPOPENFILE, u"AppOpenFile"},
        {EVENT_APPIDLE, u"AppIdle"},
        {EVENT_KEYDOWN, u"KeyDown"},
        {EVENT_KEYUP, u"KeyUp"},
        {EVENT_KEYCHAR, u"KeyChar"},
        {EVENT_KEYREPEAT, u"KeyRepeat"},
        {EVENT_MOUSEDOWN, u"MouseDown"},
        {EVENT_MOUSEUP, u"MouseUp"},
        {EVENT_MOUSEMOVE, u"MouseMove"},
        {EVENT_MOUSEWHEEL, u"MouseWheel"},
        {EVENT_MOUSEENTER, u"MouseEnter"},
        {EVENT_MOUSELEAVE, u"MouseLeave"},
        {EVENT_TIMERTICK, u"TimerTick"},
        {EVENT_HOTKEYHIT, u"HotkeyHit"},
        {EVENT_GADGETACTION, u"GadgetAction"},
        {EVENT_GADGETPAINT, u"GadgetPaint"},
        {EVENT_GADGETSELECT, u"GadgetSelect"},
        {EVENT_GADGETMENU, u"GadgetMenu"},
        {EVENT_GADGETOPEN, u"GadgetOpen"},
        {EVENT_GADGETCLOSE, u"GadgetClose"},
        {EVENT_GADGETDONE, u"GadgetDone"},
        {EVENT_GADGETLOSTFOCUS, u"GadgetLostFocus"},
        {EVENT_GADGETSHAPE, u"GadgetShape"},
        {EVENT_WINDOWMOVE, u"WindowMove"},
        {EVENT_WINDOWSIZE, u"WindowSize"},
        {EVENT_WINDOWCLOSE, u"WindowClose"},
        {EVENT_WINDOWACTIVATE, u"WindowActivate"},
        {EVENT_WINDOWACCEPT, u"WindowAccept"},
        {EVENT_MENUACTION, u"MenuAction"},
        {EVENT_STREAMEOF, u"StreamEof"},
        {EVENT_STREAMAVAIL, u"StreamAvail"},
        {EVENT_PROCESSEXIT, u"ProcessExit"},
    };
    for (const auto& [id, text] : kDescriptions) {
        descriptions += IntToString(id) + u"{" + text + u"}";
    }
}

EventModule& Module() {
    static EventModule module;
    static const bool queue_installed = [] {
        AttachHook(module.emit_hook, QueueHook, nullptr, kQueueHookPriority);
        return true;
    }();
    (void)queue_installed;
    return module;
}

int QueuedCount(const EventModule& m) {
    return static_cast<int>(m.put - m.get);
}

ObjectPtr QueueHook(int, const ObjectPtr& data, const ObjectPtr&) {
    auto event = std::dynamic_pointer_cast<TEvent>(data);
    if (!event) return nullptr;
    auto& m = Module();
    if (Coalesces(event->id)) {
        for (uint32_t i = m.get; i != m.put; ++i) {
            TEvent& queued = *m.queue[i % kQueueSize];
            if (queued.id == event->id && queued.source == event->source) {
                queued.data = event->data;
                queued.mods = event->mods;
                queued.x = event->x;
                queued.y = event->y;
                queued.extra = event->extra;
                return event;
            }
        }
    }
    if (QueuedCount(m) < kQueueSize) m.queue[m.put++ % kQueueSize] = event;
    return event;
}

EventPtr PopQueued(EventModule& m) {
    auto event = std::move(m.queue[m.get++ % kQueueSize]);
    return event;
}

}  // namespace

int EmitEventHook() {
    return Module().emit_hook;
}

EventPtr TEvent::Create(int32_t id, ObjectPtr source, int32_t data, int32_t mods, int32_t x,
                        int32_t y, ObjectPtr extra) {
    auto event = std::make_shared<TEvent>();
    event->id = id;
    event->source = std::move(source);
    event->data = data;
    event->mods = mods;
    event->x = x;
    event->y = y;
    event->extra = std::move(extra);
    return event;
}

void TEvent::Emit() {
    CallHooks(EmitEventHook(), std::static_pointer_cast<TEvent>(shared_from_this()));
}

String TEvent::ToString() const {
    String text = DescriptionForId(id);
    if (text.empty()) {
        text = id < 0 ? u"UserEvent" + IntToString(id & 0x7fffffff)
                      : u"Unknown Event, id=" + IntToString(id);
    }
    text += u": data=" + IntToString(data) + u", mods=" + IntToString(mods) + u", x=" +
            IntToString(x) + u", y=" + IntToString(y) + u", extra=\"" + ObjectText(extra) + u"\"";
    return text;
}

int32_t TEvent::AllocUserId() {
    return static_cast<int32_t>(++Module().user_id_counter);
}

void TEvent::RegisterId(int32_t id, const String& description) {
    Module().descriptions += IntToString(id) + u"{" + description + u"}";
}

String TEvent::DescriptionForId(int32_t id) {
    const String& registry = Module().descriptions;
    const String key = u"}" + IntToString(id) + u"{";
    const size_t found = registry.find(key);
    if (found == String::npos) return {};
    const size_t start = found + key.size();
    const size_t end = registry.find(u'}', start);
    if (end == String::npos) return {};
    return registry.substr(start, end - start);
}

EventPtr NewEvent(int32_t id, ObjectPtr source, int32_t data, int32_t mods, int32_t x, int32_t y,
                  ObjectPtr extra) {
    return TEvent::Create(id, std::move(source), data, mods, x, y, std::move(extra));
}

void DispatchEvent(const EventPtr& event) {
    event->Emit();
}

int32_t NewUserEventId(const String& description) {
    const int32_t id = TEvent::AllocUserId();
    if (!description.empty()) TEvent::RegisterId(id, description);
    return id;
}

void ResetEventModuleForTesting() {
    auto& m = Module();
    ResetHookTable();
    m = EventModule();
    AttachHook(m.emit_hook, QueueHook, nullptr, kQueueHookPriority);
}

EventPtr FirstQueuedEvent() {
    auto& m = Module();
    if (QueuedCount(m) == 0) PumpSystem();
    return QueuedCount(m) == 0 ? nullptr : m.queue[m.get % kQueueSize];
}

int32_t TakeEvent() {
    auto& m = Module();
    if (QueuedCount(m) == 0) PumpSystem();
    if (QueuedCount(m) == 0) {
        m.current = m.null_event;
        return 0;
    }
    m.current = PopQueued(m);
    return m.current->id;
}

int32_t AwaitEvent() {
    auto& m = Module();
    while (QueuedCount(m) == 0)
        AwaitSystem();
    m.current = PopQueued(m);
    return m.current->id;
}

const EventPtr& CurrentEvent() {
    return Module().current;
}
int32_t CurrentEventId() {
    return CurrentEvent()->id;
}
int32_t CurrentEventData() {
    return CurrentEvent()->data;
}
int32_t CurrentEventMods() {
    return CurrentEvent()->mods;
}
int32_t CurrentEventX() {
    return CurrentEvent()->x;
}
int32_t CurrentEventY() {
    return CurrentEvent()->y;
}
ObjectPtr CurrentEventExtra() {
    return CurrentEvent()->extra;
}
ObjectPtr CurrentEventSource() {
    return CurrentEvent()->source;
}
String CurrentEventText() {
    return ObjectText(CurrentEvent()->extra);
}
uintptr_t CurrentEventSourceHandle() {
    return reinterpret_cast<uintptr_t>(CurrentEvent()->source.get());
}
int QueuedEventCount() {
    return QueuedCount(Module());
}

}  // namespace vexel
