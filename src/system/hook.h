#pragma once

#include "runtime/cxx_standard.h"

#include <memory>

#include "runtime/object.h"

namespace vexel {

// A hook function receives the hook id, the data passed along the chain and its own
// context, and returns the data for the hooks after it.
using HookFunction = ObjectPtr (*)(int id, const ObjectPtr& data, const ObjectPtr& context);

class THook : public Object {
  public:
    std::shared_ptr<THook> succ;
    int priority = 0;
    HookFunction func = nullptr;
    ObjectPtr context;
};

// A fresh hook id, 0 first; RuntimeError "Too many hook ids" after 256 of them. The event
// module takes the first id for its emit-event hook before anyone else.
int NewHookId();
// Adds `func` to list `id` after every hook of greater or equal priority.
void AttachHook(int id, HookFunction func, const ObjectPtr& context, int priority);
// Runs every hook of list `id` in order, each receiving what the one before returned.
ObjectPtr CallHooks(int id, ObjectPtr data);
// Unlinks the first hook of list `id` whose function and context both match.
void DetachHook(int id, HookFunction func, const ObjectPtr& context);

}  // namespace vexel
