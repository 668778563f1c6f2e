#pragma once

#include "core/MessageDispatch.h"
#include "hook/SessionHook.h"
#include "support/ManualLoop.h"

#include <gtest/gtest.h>
#include <vector>

using namespace std::chrono_literals;

// A session hook's messages as a test sees them: the windows it announced, the processes that started
// (1) or ended (0), and how often the keyboard state changed.
struct HookEventsTest : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    std::vector<unsigned long> activated;
    std::vector<std::pair<unsigned, long>> processes;
    int stateChanges = 0;
    void onActivated(unsigned long window) { activated.push_back(window); }
    void onProcess(unsigned started, long pid) { processes.emplace_back(started, pid); }
    void onState() { ++stateChanges; }
    void SetUp() override {
        dispatch.RegisterHandler<KVM_WINDOW_ACTIVATED>(this, &HookEventsTest::onActivated);
        dispatch.RegisterHandler<KVM_PROCESS_EVENT>(this, &HookEventsTest::onProcess);
        dispatch.RegisterHandler<KVM_HOOK_STATE_CHANGED>(this, &HookEventsTest::onState);
    }
    bool awaitForeground(const KVSessionHook& hook, pid_t pid) {
        return loop.runUntil(
            [&] { return !activated.empty() && hook.WindowOwner(activated.back()).pid == pid; }, 10s);
    }
    bool awaitNames(const KVSessionHook& hook, const std::vector<std::string>& names) {
        return loop.runUntil(
            [&] { return !activated.empty() && hook.WindowOwner(activated.back()).names == names; }, 10s);
    }
};
