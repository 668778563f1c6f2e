// Start-up cost of the keyboard-layout part of the system layers.
#include "images/KVTextRenderer.h"
#include "layers/LayersGroup.h"
#include "layers/LayoutLayers.h"
#include "system/KeyboardLayouts.h"
#include "system/LayoutKeyLabels.h"

#include <benchmark/benchmark.h>

namespace {

struct ThreeLayouts final : IKVLayoutSystem {
    std::vector<KVXkbLayoutName> installedLayouts() const override {
        return {{"us", ""}, {"de", ""}, {"ru", ""}};
    }
    std::optional<unsigned> currentGroup() const override { return 0; }
};

// What start-up does for a fresh profile with three layouts: every caption layer, pictures included.
void BM_BuildThreeLayoutGroups(benchmark::State& state) {
    ThreeLayouts system;
    KVKeyboardLayouts catalogue(system, nullptr);
    KVTextRenderer renderer;
    KVLayoutLayers layers(catalogue, renderer, nullptr);
    for (auto _ : state) {
        KVLayersGroup systemLayers;
        layers.RebuildLayoutGroups(systemLayers);
        benchmark::DoNotOptimize(systemLayers.children().size());
    }
}
BENCHMARK(BM_BuildThreeLayoutGroups)->Unit(benchmark::kMillisecond);

// The captions alone (keymap compilation and the key queries), without pictures.
void BM_CaptionsOfOneLayout(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::layoutLabelLayers({"de", ""}, "DE", ","));
}
BENCHMARK(BM_CaptionsOfOneLayout)->Unit(benchmark::kMillisecond);

// What every evaluation of a language condition asks.
void BM_CurrentLayout(benchmark::State& state) {
    ThreeLayouts system;
    KVKeyboardLayouts catalogue(system, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(catalogue.CurrentLayout());
}
BENCHMARK(BM_CurrentLayout);

// The first look at the XKB registry (names of layouts that are not in the Windows table).
void BM_ReadRegistry(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(KVLayoutRegistry().entries().size());
}
BENCHMARK(BM_ReadRegistry)->Unit(benchmark::kMillisecond);

} // namespace
