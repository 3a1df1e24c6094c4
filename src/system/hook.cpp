#include "system/hook.h"

#include <array>

#include "runtime/error.h"
#include "system/event.h"
#include "system/internal/hook_table.h"

namespace vexel {

namespace {

constexpr int kHookIds = 256;

struct HookTable {
    std::array<std::shared_ptr<THook>, kHookIds> lists;
    int counter = -1;
};

HookTable& Table() {
    static HookTable table;
    return table;
}

std::shared_ptr<THook>& ListHead(int id) {
    if (id < 0 || id >= kHookIds) throw RuntimeError(u"Invalid hook id");
    return Table().lists[static_cast<size_t>(id)];
}

}  // namespace

int AllocateHookId() {
    auto& table = Table();
    if (table.counter + 1 >= kHookIds) throw RuntimeError(u"Too many hook ids");
    return ++table.counter;
}

void ResetHookTable() {
    Table() = HookTable{};
}

int NewHookId() {
    EmitEventHook();  // the event module owns the first id
    return AllocateHookId();
}

void AttachHook(int id, HookFunction func, const ObjectPtr& context, int priority) {
    auto hook = std::make_shared<THook>();
    hook->func = func;
    hook->context = context;
    hook->priority = priority;
    // Walk past every hook of greater or equal priority so that equal priorities keep the
    // order in which they were attached.
    std::shared_ptr<THook>* link = &ListHead(id);
    while (*link && (*link)->priority >= priority)
        link = &(*link)->succ;
    hook->succ = std::move(*link);
    *link = std::move(hook);
}

ObjectPtr CallHooks(int id, ObjectPtr data) {
    // Hold the current hook while it runs: a hook may detach itself.
    for (auto hook = ListHead(id); hook; hook = hook->succ) {
        if (!hook->func) throw RuntimeError(u"Attempt to call null function");
        data = hook->func(id, data, hook->context);
    }
    return data;
}

void DetachHook(int id, HookFunction func, const ObjectPtr& context) {
    for (std::shared_ptr<THook>* link = &ListHead(id); *link; link = &(*link)->succ) {
        if ((*link)->func == func && (*link)->context == context) {
            *link = (*link)->succ;
            return;
        }
    }
}

}  // namespace vexel
