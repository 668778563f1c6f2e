// Export and import of a group of 20 layers holding 2,000 key pictures: what "Export > Layer..." and
// "Import > Layer..." cost for a large shared set.

#include "images/KVImage.h"
#include "images/VipsRuntime.h"
#include "layers/Layer.h"
#include "layers/LayerArchive.h"
#include "layers/LayersGroup.h"
#include "store/FileTree.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kLayers = 20;
constexpr unsigned kPicturesPerLayer = 100;

// Pictures with some structure, so they compress like drawn key pictures rather than like flat colour.
KVPtr<KVImage> keyPicture(unsigned seed) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    auto pixels = image->pixels();
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>((i / 3 % 48) * 5 + (i / 144) * 3 + seed * 11 + (i % 3) * 40);
    return image;
}

KVPtr<KVLayersGroup> largeGroup() {
    auto group = std::make_shared<KVLayersGroup>();
    group->setIdentifier("{00000000-0000-0000-0000-000000000001}");
    group->setDisplayName("Large set");
    for (int l = 0; l < kLayers; ++l) {
        auto layer = std::make_shared<KVLayer>();
        layer->setIdentifier("layer" + std::to_string(l));
        layer->setDisplayName("Layer " + std::to_string(l));
        for (unsigned key = 0; key < kPicturesPerLayer; ++key)
            layer->binding(key).image = keyPicture(static_cast<unsigned>(l) * 113 + key);
        group->items().add(layer);
    }
    return group;
}

struct Scratch {
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
    }
    ~Scratch() { corvane::deleteTree(folder); }
    std::string archive() const { return folder + "/set.layers"; }
    std::string folder;
};

void BM_ExportLargeGroup(benchmark::State& state) {
    corvane::images::startVips();
    const auto group = largeGroup();
    Scratch scratch;
    for (auto _ : state)
        if (!corvane::layers::exportItem(*group, scratch.archive(), scratch.folder))
            state.SkipWithError("export failed");
    state.counters["archive MiB"] =
        static_cast<double>(std::filesystem::file_size(scratch.archive())) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportLargeGroup)->Unit(benchmark::kMillisecond);

void BM_ImportLargeGroup(benchmark::State& state) {
    corvane::images::startVips();
    Scratch scratch;
    if (!corvane::layers::exportItem(*largeGroup(), scratch.archive(), scratch.folder)) {
        state.SkipWithError("export failed");
        return;
    }
    for (auto _ : state) {
        const auto result = corvane::layers::importArchive(scratch.archive(), scratch.folder, {});
        if (!result || result.item->children().size() != kLayers)
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportLargeGroup)->Unit(benchmark::kMillisecond);

} // namespace
