// What the application watcher costs: a /proc snapshot is taken for every process start or end, the
// desktop entries are read once at start-up, and conditions ask IsRunning / IsForeground at every
// evaluation.
#include "core/MessageDispatch.h"
#include "support/FakeHook.h"
#include "support/FakeProcessTable.h"
#include "support/ManualLoop.h"
#include "system/ApplicationsController.h"
#include "system/linux/ProcProcessTable.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

void BM_ProcSnapshot(benchmark::State& state) {
    KVProcProcessTable table;
    size_t processes = 0;
    for (auto _ : state) {
        auto snapshot = table.snapshot();
        processes = snapshot.size();
        benchmark::DoNotOptimize(snapshot);
    }
    state.counters["processes"] = double(processes);
}
BENCHMARK(BM_ProcSnapshot)->Unit(benchmark::kMicrosecond);

void BM_ScanDesktopApplications(benchmark::State& state) {
    const auto sources = KVApplicationSources::fromEnvironment();
    size_t applications = 0;
    for (auto _ : state) {
        auto found = scanDesktopApplications(sources);
        applications = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["applications"] = double(applications);
}
BENCHMARK(BM_ScanDesktopApplications)->Unit(benchmark::kMillisecond);

// Start-up with many installed applications: desktop entries read, programs found along PATH and
// catalogued.
void BM_CatalogueOfDesktopEntries(benchmark::State& state) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "bin");
    std::filesystem::create_directories(folder / "applications");
    for (int i = 0; i < state.range(0); ++i) {
        const auto name = "program-" + std::to_string(i);
        std::ofstream(folder / "bin" / name) << "#!/bin/sh\n";
        ::chmod((folder / "bin" / name).c_str(), 0755);
        std::ofstream(folder / "applications" / (name + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=Program " << i << "\nIcon=program\nExec=env A=1 "
            << name << " %U\n";
    }
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    KVFakeHook hook;
    const KVApplicationSources sources{{folder / "applications"}, {"/usr/bin", folder / "bin"}};
    for (auto _ : state) {
        KVSysApplicationsController controller(dispatch, hook, std::make_shared<KVFakeProcessTable>(),
                                               sources);
        benchmark::DoNotOptimize(controller.applications().size());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CatalogueOfDesktopEntries)->Arg(500)->Unit(benchmark::kMillisecond);

// One process start handled on the real /proc: snapshot, compare, announce.
void BM_ProcessStartEvent(benchmark::State& state) {
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    KVFakeHook hook;
    KVSysApplicationsController controller(dispatch, hook, std::make_shared<KVProcProcessTable>(), {});
    for (auto _ : state)
        dispatch.send<KVM_PROCESS_EVENT>(1, ::getpid());
}
BENCHMARK(BM_ProcessStartEvent)->Unit(benchmark::kMicrosecond);

// The question a condition asks, against a running set of 500 programs.
void BM_IsRunningAndIsForeground(benchmark::State& state) {
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    KVFakeHook hook;
    auto processes = std::make_shared<KVFakeProcessTable>();
    for (pid_t pid = 1; pid <= 500; ++pid)
        processes->start(pid, "/usr/bin/program-" + std::to_string(pid));
    KVSysApplicationsController controller(dispatch, hook, processes, {});
    hook.Hook(dispatch);
    hook.activateWindow(1, 250);
    bool answer = false;
    for (auto _ : state) {
        answer ^= controller.IsRunning(state.range(0) ? "Program-317" : "program-317");
        answer ^= controller.IsForeground(state.range(0) ? "Program-250" : "program-250");
        benchmark::DoNotOptimize(answer);
    }
}
// Argument 1: the identifiers are asked in mixed case.
BENCHMARK(BM_IsRunningAndIsForeground)->Arg(0)->Arg(1);

} // namespace
