// One event through the layer stack: a modifier change re-evaluates 200 layers in 20 groups, recomposes,
// and the keyboard side reads every key's binding in force and its picture, as a full update does.

#include "conditions/ModifierCondition.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "layers/LayersController.h"
#include "support/FakeSources.h"
#include "support/ManualLoop.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kGroups = 20;
constexpr int kLayersPerGroup = 10;
constexpr uint32_t kShift = 4;

// Reads what a full update reads: for each key the display binding, its picture and its code.
struct FullUpdateReader {
    explicit FullUpdateReader(CKVMessageDispatch& dispatch, KVLayersController& controller)
        : m_dispatch(dispatch), m_controller(controller) {
        dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(this, &FullUpdateReader::onActiveLayersChanged);
    }
    ~FullUpdateReader() { m_dispatch.UnregisterHandlers(this); }

    void onActiveLayersChanged() {
        unsigned checksum = 0;
        for (unsigned key = 0; key < corvane::layers::kLayerKeyCount; ++key) {
            const auto* binding = m_controller.DisplayBinding(key);
            if (!binding)
                continue;
            if (const auto& image = binding->displayImage())
                checksum += image->pixels()[key];
            checksum += binding->scanCode;
        }
        benchmark::DoNotOptimize(checksum);
    }

    CKVMessageDispatch& m_dispatch;
    KVLayersController& m_controller;
};

struct Stack {
    // `boundKeysEveryLayer`: every layer binds every key; else only the last layer of the last group
    // binds anything, so composition walks every active layer for every key.
    explicit Stack(bool boundKeysEveryLayer) {
        environment->keyboard = &keyboard;
        keyboard.setOpen(true);
        auto user = std::make_shared<KVLayersGroup>();
        user->setIdentifier(KVLayerCake::kUserLayersId);
        auto picture = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
        for (int g = 0; g < kGroups; ++g) {
            auto group = std::make_shared<KVLayersGroup>();
            group->setIdentifier("group" + std::to_string(g));
            // Odd groups come on with Shift, even ones only without it.
            group->conditions().push_back(
                std::make_shared<KVModifierCondition>(environment, g % 2 ? kShift : 0));
            for (int l = 0; l < kLayersPerGroup; ++l) {
                auto layer = std::make_shared<KVLayer>();
                layer->setIdentifier("layer" + std::to_string(g) + "-" + std::to_string(l));
                layer->conditions().push_back(std::make_shared<KVLockCondition>(environment, 0));
                const bool binds = boundKeysEveryLayer || (g == kGroups - 1 && l == kLayersPerGroup - 1);
                for (unsigned key = 0; binds && key < corvane::layers::kLayerKeyCount; ++key) {
                    layer->binding(key).image = picture;
                    layer->binding(key).keystroke = "k";
                }
                group->items().add(layer);
            }
            user->items().add(group);
        }
        cake.items().add(user);
        cake.setUpUserLayers("/nonexistent");
        cake.setUpSystemLayers("/nonexistent");
        controller.Start();
    }

    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    KVFakeKeyboardState keyboard;
    KVPtr<KVConditionEnvironment> environment = std::make_shared<KVConditionEnvironment>();
    KVLayerCake cake{KVLayerLoadContext{environment, nullptr}};
    KVLayersController controller{dispatch, cake, environment};
    FullUpdateReader reader{dispatch, controller};
};

// Shift toggles: 100 layers go off and 100 come on, then recomposition and the full read.
void toggleShift(benchmark::State& state, bool everyKeyBound) {
    Stack stack(everyKeyBound);
    uint32_t mask = 0;
    for (auto _ : state) {
        mask ^= kShift;
        stack.keyboard.setModifierMask(mask);
        stack.dispatch.send<KVM_DEVICE_MODIFIERS_CHANGED>(mask);
    }
    state.counters["active layers"] = static_cast<double>(stack.controller.ActiveLayers().size());
}

void BM_ModifierEventEveryKeyBound(benchmark::State& state) {
    toggleShift(state, true);
}
BENCHMARK(BM_ModifierEventEveryKeyBound)->Unit(benchmark::kMicrosecond);

// The same with bindings only at the bottom: every key looks through every active layer.
void BM_ModifierEventSparseBindings(benchmark::State& state) {
    toggleShift(state, false);
}
BENCHMARK(BM_ModifierEventSparseBindings)->Unit(benchmark::kMicrosecond);

// An event that changes nothing: evaluation only, no recomposition.
void BM_EventWithoutChange(benchmark::State& state) {
    Stack stack(true);
    for (auto _ : state)
        stack.dispatch.send<KVM_HOOK_STATE_CHANGED>();
}
BENCHMARK(BM_EventWithoutChange)->Unit(benchmark::kMicrosecond);

} // namespace
