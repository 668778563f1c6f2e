#include "device/DeviceFileSet.h"
#include "device/KeyImage.h"
#include "device/KeyStateReport.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace corvane::device;

namespace {

std::vector<std::vector<uint8_t>> pictures() {
    std::vector<std::vector<uint8_t>> all(kMainKeyCount, std::vector<uint8_t>(kPixels24Size));
    for (size_t k = 0; k < all.size(); ++k) {
        for (size_t i = 0; i < kPixels24Size; ++i)
            all[k][i] = uint8_t(i * 31 + k * 7);
    }
    return all;
}

// The 5-6-5 conversion of every display of the main keyboard (two of them turned).
void BM_ConvertAllDisplays(benchmark::State& state) {
    const auto source = pictures();
    const ModelDescriptor& model = modelDescriptor(KeyboardModelMain);
    std::vector<KeyImageFile> files(kMainKeyCount);
    for (auto _ : state) {
        for (unsigned key = 0; key < kMainKeyCount; ++key)
            convertKeyImage(source[key], 3, model.isTurned(model.keys[key].display), files[key]);
        benchmark::DoNotOptimize(files.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kMainKeyCount * kPixels24Size);
}
BENCHMARK(BM_ConvertAllDisplays)->Unit(benchmark::kMicrosecond);

// A full update that changes nothing: convert and stage 113 images and the key-code table, then let
// the writer find nothing to write.
void BM_FullStagingUnchanged(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX").string();
    const std::filesystem::path folder = mkdtemp(pattern.data());
    std::filesystem::create_directories(folder / "vTavirex" / "dynamic");
    std::ofstream(folder / "vTavirex" / "version.sys") << "TavirexV0.76b";
    auto set = KVDeviceFileSet::build(folder.string() + "/", KeyboardModelMain, 512);
    const auto source = pictures();
    const auto stageAll = [&] {
        for (unsigned key = 0; key < kMainKeyCount; ++key) {
            set->stageKeyImage(key, source[key], 3);
            setTableRecord(set->currentTable(), set->descriptor().keys[key].slot,
                           keyCodeRecord(uint8_t(key)));
        }
        set->stageKeyCodeTable();
    };
    stageAll();
    set->flushFiles({});
    const unsigned written = set->totalWrites();
    for (auto _ : state) {
        stageAll();
        set->flushFiles({});
    }
    if (set->totalWrites() != written)
        state.SkipWithError("an unchanged staging reached the disk");
    state.counters["writes"] = double(set->totalWrites() - written);
    set.reset();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FullStagingUnchanged)->Unit(benchmark::kMicrosecond);

void BM_KeyStateReport(benchmark::State& state) {
    KeyStateReport before{}, after{};
    for (unsigned key = 0; key < 113; key += 3)
        setKeyInReport(KeyboardModelMain, key, true, after);
    std::vector<KeyStateChange> changes;
    changes.reserve(128);
    for (auto _ : state) {
        changes.clear();
        keyStateChanges(KeyboardModelMain, before, after, changes);
        keyStateChanges(KeyboardModelMain, after, before, changes);
        benchmark::DoNotOptimize(changes.data());
    }
}
BENCHMARK(BM_KeyStateReport);

} // namespace

BENCHMARK_MAIN();
