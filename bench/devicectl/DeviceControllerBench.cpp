// The device half of an event (a full update staged with every key bound) and what the running program
// costs while nothing happens (the 100 ms idle tick).
#include "devicectl/DeviceRig.h"
#include "devicectl/XScreenSaverIdle.h"
#include "support/Xvfb.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <time.h>
#include <unistd.h>

namespace {

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Every key of the main keyboard bound to a picture of its own and a code.
void bindEveryKey(FakeDisplayBindings& bindings, uint8_t shade) {
    for (unsigned key = 0; key < corvane::device::kMainKeyCount; ++key) {
        KVDeviceBinding binding;
        binding.picture = keyPicture(uint8_t(key + shade)); // a new picture for each key at each shade
        binding.scanCode = uint8_t(4 + key % 90);
        bindings.bindings[key] = binding;
    }
}

void BM_FullUpdateUnchanged(benchmark::State& state) {
    DeviceRig rig;
    bindEveryKey(*rig.bindings, 0);
    rig.connect();
    const unsigned writes = rig.device->Keyboard().WritesDone();
    for (auto _ : state)
        rig.controller->FullUpdate();
    rig.settle();
    state.counters["files_written"] = double(rig.device->Keyboard().WritesDone() - writes);
}
BENCHMARK(BM_FullUpdateUnchanged)->Unit(benchmark::kMicrosecond);

// Every picture differs from the last update: 113 conversions and 113 files staged.
void BM_FullUpdateAllChanged(benchmark::State& state) {
    DeviceRig rig;
    bindEveryKey(*rig.bindings, 0);
    rig.connect();
    uint8_t shade = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.settle();
        bindEveryKey(*rig.bindings, shade += 16);
        state.ResumeTiming();
        rig.controller->FullUpdate();
    }
    rig.settle();
}
BENCHMARK(BM_FullUpdateAllChanged)->Unit(benchmark::kMicrosecond);

void BM_IdleTick(benchmark::State& state) {
    DeviceRig rig;
    rig.connect();
    TestXServer server;
    const bool useX = state.range(0) == 1;
    if (useX) {
        auto idle = server.running() ? KVXScreenSaverIdle::open(server.display()) : nullptr;
        if (!idle) {
            state.SkipWithError("no Xvfb");
            return;
        }
        rig.controller->SetIdleSource(idle);
    } else {
        rig.idle->idle = std::chrono::seconds(100);
    }
    for (auto _ : state)
        rig.controller->IdleTick();
    state.SetLabel(useX ? "XScreenSaver" : "fake idle source");
}
BENCHMARK(BM_IdleTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The loop left to itself with a keyboard open and every key bound: CPU per minute of wall time.
void BM_IdleCpuPerMinute(benchmark::State& state) {
    DeviceRig rig;
    bindEveryKey(*rig.bindings, 0);
    rig.connect();
    TestXServer server;
    if (auto idle = server.running() ? KVXScreenSaverIdle::open(server.display()) : nullptr)
        rig.controller->SetIdleSource(idle);
    const auto seconds = std::chrono::seconds(state.range(0));
    double cpu = 0;
    for (auto _ : state) {
        const double before = processCpuSeconds();
        rig.loop.addTimer(seconds, false, [&] { rig.loop.quit(0); });
        rig.loop.run(); // sleeps until the next timer or descriptor, as the application's loop does
        cpu = processCpuSeconds() - before;
    }
    state.counters["cpu_ms_per_minute"] = cpu * 1000.0 * 60.0 / double(seconds.count());
    state.counters["resident_MB"] = residentMegabytes();
}
BENCHMARK(BM_IdleCpuPerMinute)->Arg(60)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace
