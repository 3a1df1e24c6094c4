#include <gtest/gtest.h>

#include "runtime/error.h"
#include "system/event.h"
#include "system/for_testing.h"
#include "system/hook.h"

namespace vexel {
namespace {

// Each hook appends its context's text to the trail carried as data.
ObjectPtr Append(int, const ObjectPtr& data, const ObjectPtr& context) {
    return std::make_shared<StringObject>(ObjectText(data) + ObjectText(context));
}

ObjectPtr Other(int, const ObjectPtr& data, const ObjectPtr&) {
    return data;
}

ObjectPtr Text(const char16_t* text) {
    return std::make_shared<StringObject>(text);
}

class Hooks : public ::testing::Test {
  protected:
    void SetUp() override { ResetEventModuleForTesting(); }
};

TEST_F(Hooks, HigherPriorityRunsFirstAndEqualPrioritiesKeepTheirOrder) {
    const int id = NewHookId();
    AttachHook(id, Append, Text(u"a"), 0);
    AttachHook(id, Append, Text(u"b"), 0);
    AttachHook(id, Append, Text(u"c"), 5);
    AttachHook(id, Append, Text(u"d"), -1);
    EXPECT_EQ(ObjectText(CallHooks(id, Text(u">"))), u">cabd");
}

TEST_F(Hooks, DetachRemovesOnlyTheFirstHookMatchingFunctionAndContext) {
    const int id = NewHookId();
    const auto a = Text(u"a");
    const auto b = Text(u"b");
    AttachHook(id, Append, a, 0);
    AttachHook(id, Append, b, 0);
    AttachHook(id, Append, a, 0);
    DetachHook(id, Append, Text(u"a"));  // equal text, another object: no match
    DetachHook(id, Other, a);            // another function: no match
    EXPECT_EQ(ObjectText(CallHooks(id, Text(u""))), u"aba");
    DetachHook(id, Append, a);
    EXPECT_EQ(ObjectText(CallHooks(id, Text(u""))), u"ba");
}

TEST_F(Hooks, IdsStartAfterTheEmitEventHookAndStopAt256) {
    EXPECT_EQ(EmitEventHook(), 0);
    EXPECT_EQ(NewHookId(), 1);
    for (int expected = 2; expected <= 255; ++expected)
        EXPECT_EQ(NewHookId(), expected);
    try {
        NewHookId();  // the 257th id of the program
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.ToString(), u"Too many hook ids");
    }
}

TEST_F(Hooks, AFreshHookHasTheNullFunction) {
    THook hook;
    EXPECT_EQ(hook.func, nullptr);
    EXPECT_EQ(hook.succ, nullptr);
}

}  // namespace
}  // namespace vexel
