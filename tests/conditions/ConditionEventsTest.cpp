#include "conditions/ConditionEvents.h"

#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"

#include <gtest/gtest.h>

namespace {

// Each state message runs one evaluation, none after destruction. A plug-in condition reporting a new state
// while the evaluation activates it asks for one more pass, never a nested one; one that flips for ever is
// given up after eight, and the next event is served.
TEST(ConditionEventsTest, StateMessagesEvaluateOncePerPassUpToALimit) {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    int evaluations = 0, depth = 0, deepest = 0, flipsUntil = 0;
    const auto evaluate = [&] {
        ++evaluations;
        deepest = std::max(deepest, ++depth);
        if (evaluations <= flipsUntil)
            dispatch.send<KVM_PLUGIN_CONDITION_CHANGED>();
        --depth;
    };
    {
        KVConditionEvents events(dispatch, evaluate);
        dispatch.send<KVM_DEVICE_MODIFIERS_CHANGED>(4);
        dispatch.send<KVM_RUNNING_APPS_CHANGED>();
        dispatch.send<KVM_FOREGROUND_APP_CHANGED>();
        dispatch.send<KVM_HOOK_STATE_CHANGED>();
        dispatch.send<KVM_DEVICE_STATE>(1);
        dispatch.send<KVM_PLUGIN_CONDITION_CHANGED>();
        dispatch.send<KVM_ACTIVE_LAYERS_CHANGED>(); // what an evaluation itself sends must not loop back
        EXPECT_EQ(evaluations, 6);
    }
    dispatch.send<KVM_HOOK_STATE_CHANGED>();
    EXPECT_EQ(evaluations, 6);

    KVConditionEvents events(dispatch, evaluate);
    evaluations = 0;
    flipsUntil = 1;
    dispatch.send<KVM_HOOK_STATE_CHANGED>();
    EXPECT_EQ(evaluations, 2);
    EXPECT_EQ(deepest, 1);
    evaluations = 0;
    flipsUntil = 1000;
    dispatch.send<KVM_HOOK_STATE_CHANGED>();
    EXPECT_EQ(evaluations, 8);
    dispatch.send<KVM_HOOK_STATE_CHANGED>();
    EXPECT_EQ(evaluations, 16);
}

} // namespace
