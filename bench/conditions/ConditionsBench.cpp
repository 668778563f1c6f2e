// Evaluating the conditions of a large layer tree: what every state message costs before composition.
#include "conditions/ApplicationCondition.h"
#include "conditions/ConditionList.h"
#include "conditions/ModifierCondition.h"
#include "support/FakeHook.h"
#include "support/FakeSources.h"

#include <benchmark/benchmark.h>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kItems = 1000;

struct Tree {
    KVFakeHook hook;
    KVFakeKeyboardState keyboard;
    KVFakeApplicationState applications;
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>(
        KVConditionEnvironment{&hook, &keyboard, &applications, nullptr});
    std::vector<KVConditionList> items;

    // Each item: a modifier condition, a lock condition and an application condition, as a user's
    // per-program layers for Shift with Num Lock would carry. 200 programs are running.
    Tree() {
        std::set<std::string, std::less<>> running;
        for (int i = 0; i < 200; ++i)
            running.insert("program-" + std::to_string(i) + ".exe");
        applications.setRunning(std::move(running));
        for (int i = 0; i < kItems; ++i)
            items.push_back({std::make_shared<KVModifierCondition>(environment, KV_MOD_SHIFT),
                             std::make_shared<KVLockCondition>(environment, KV_LOCK_NUM),
                             std::make_shared<KVApplicationCondition>(
                                 environment, "Program-" + std::to_string(i % 400) + ".EXE", false)});
    }

    int evaluate() const {
        int active = 0;
        for (const auto& conditions : items)
            active += corvane::itemQualifies(true, false, conditions);
        return active;
    }
};

// Shift and Num Lock on: every item reaches its application test (worst case; half of them hold).
void BM_EvaluateAllConditionsHold(benchmark::State& state) {
    Tree tree;
    tree.hook.setModifiersState(KV_MOD_SHIFT | KV_LOCK_NUM);
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.evaluate());
    state.counters["active"] = tree.evaluate();
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_EvaluateAllConditionsHold)->Unit(benchmark::kMicrosecond);

// Nothing held: every item stops at its first condition.
void BM_EvaluateFirstConditionFails(benchmark::State& state) {
    Tree tree;
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.evaluate());
    state.counters["active"] = tree.evaluate();
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_EvaluateFirstConditionFails)->Unit(benchmark::kMicrosecond);

} // namespace
