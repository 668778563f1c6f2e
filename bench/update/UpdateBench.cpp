// The checks between a download and the keyboard: the firmware image check and the version lists.
#include "update/FirmwareImage.h"
#include "update/VersionLists.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

void BM_CheckFirmwareImage(benchmark::State& state) {
    std::vector<uint8_t> payload(655360 - 20);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 13);
    const auto image = corvane::update::buildFirmwareImage(payload, 655360);
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::update::checkFirmwareImage(image));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_CheckFirmwareImage);

// A list as large as a download may be (64 KiB): about 2,500 lines.
void BM_ParseFirmwareList(benchmark::State& state) {
    std::string list = "Tavirex firmware 0.76b\r\n";
    for (int i = 0; list.size() < 64 * 1024 - 32; ++i)
        list += "0." + std::to_string(10 + i % 90) + "b\tfirmware-" + std::to_string(i) + ".bin\r\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::update::parseFirmwareList(list));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(list.size()));
}
BENCHMARK(BM_ParseFirmwareList);

void BM_ExtractVersion(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::update::extractVersion("TavirexV0.76b"));
}
BENCHMARK(BM_ExtractVersion);

} // namespace

BENCHMARK_MAIN();
