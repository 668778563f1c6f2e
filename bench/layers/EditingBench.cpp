// Large undoable edits: deleting a group of 20 layers holding 2,000 bindings and taking it back, and
// pasting one key onto every key of a layer as one step and taking that back. Each includes the
// re-evaluation, recomposition and key refresh that the edit causes.

#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"
#include "support/FakeSources.h"
#include "support/ManualLoop.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kLayersInGroup = 20;
constexpr unsigned kBoundKeys = 100; // 20 x 100 = 2,000 bindings
constexpr int kOtherLayers = 50;

KVPtr<KVLayer> boundLayer(const std::string& id, const KVPtr<KVImage>& picture, unsigned keys) {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(id);
    layer->setDisplayName(id);
    for (unsigned key = 0; key < keys; ++key) {
        auto& binding = layer->binding(key);
        binding.image = std::make_shared<KVImage>(*picture);
        binding.keystroke = "k";
        if (key % 10 == 0) {
            binding.actionPlugin = std::make_shared<KVActionPluginInstance>(nullptr, key);
            binding.actionPlugin->SetIds("launcher", "run");
        }
    }
    return layer;
}

struct EditedStack {
    EditedStack() {
        environment->keyboard = &keyboard;
        keyboard.setOpen(true);
        auto picture = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
        auto user = std::make_shared<KVLayersGroup>();
        user->setIdentifier(KVLayerCake::kUserLayersId);
        group = std::make_shared<KVLayersGroup>();
        group->setIdentifier("big");
        group->setDisplayName("Big");
        for (int l = 0; l < kLayersInGroup; ++l)
            group->items().add(boundLayer("big" + std::to_string(l), picture, kBoundKeys));
        user->items().add(group);
        for (int l = 0; l < kOtherLayers; ++l)
            user->items().add(
                boundLayer("other" + std::to_string(l), picture, corvane::layers::kLayerKeyCount));
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
    KVPtr<KVLayersGroup> group;
};

void BM_DeleteAndUndoGroupOf2000Bindings(benchmark::State& state) {
    EditedStack stack;
    auto& edit = stack.controller.Editing();
    for (auto _ : state) {
        if (!edit.Delete(stack.group) || !edit.Undo())
            state.SkipWithError("the edit was refused");
    }
    state.counters["active layers"] = static_cast<double>(stack.controller.ActiveLayers().size());
}
BENCHMARK(BM_DeleteAndUndoGroupOf2000Bindings)->Unit(benchmark::kMicrosecond);

// "Paste" of one binding (picture and action plug-in) onto all 113 keys of a layer, as one step.
void BM_PasteToEveryKeyAndUndo(benchmark::State& state) {
    EditedStack stack;
    auto& edit = stack.controller.Editing();
    const auto target = std::static_pointer_cast<KVLayer>(stack.group->children().items().front());
    const auto source = stack.group->children().items().back();
    const auto& binding = std::static_pointer_cast<KVLayer>(source)->binding(0);
    for (auto _ : state) {
        edit.BeginMacro("Paste to 113 keys");
        for (unsigned key = 0; key < corvane::layers::kLayerKeyCount; ++key)
            edit.CopyBinding(binding, target, key);
        edit.EndMacro();
        if (!edit.Undo())
            state.SkipWithError("nothing to undo");
    }
}
BENCHMARK(BM_PasteToEveryKeyAndUndo)->Unit(benchmark::kMicrosecond);

} // namespace
