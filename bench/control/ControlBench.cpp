// One corvane-ctl request through the instance socket: the tool's client, the running instance's
// socket server on its loop thread, the command, and the answer back.

#include "conditions/ConditionEnvironment.h"
#include "control/ControlClient.h"
#include "control/ControlCommands.h"
#include "core/MessageDispatch.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "shell/CommandLine.h"
#include "shell/SingleInstance.h"
#include "support/ManualLoop.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

// The instance's side, on a loop thread of its own, with a user tree of 100 layers.
class RunningInstance {
public:
    explicit RunningInstance(std::string folder) : m_folder(std::move(folder)) {
        m_thread = std::thread([this] { run(); });
        while (!m_ready)
            std::this_thread::yield();
    }
    ~RunningInstance() {
        m_stop = true;
        m_thread.join();
        std::filesystem::remove_all(m_folder);
    }

private:
    void run() {
        KVManualLoop loop;
        CKVMessageDispatch dispatch(loop);
        auto environment = std::make_shared<KVConditionEnvironment>();
        KVLayerCake cake(KVLayerLoadContext{environment, nullptr});
        cake.setUpUserLayers({});
        for (int i = 0; i < 100; ++i) {
            auto layer = std::make_shared<KVLayer>();
            layer->setIdentifier("layer" + std::to_string(i));
            layer->setDisplayName("Layer " + std::to_string(i));
            cake.userLayers()->items().add(layer);
        }
        KVLayersController layers(dispatch, cake, environment);
        KVControlCommands commands(
            {cake, layers, dispatch, m_folder, {}, {}, {}, nullptr, {}, "configurator"});
        KVSingleInstance instance(m_folder);
        instance.check(CKVCommandLineInfo::parse(0, nullptr));
        instance.serve(loop, dispatch);
        instance.setControlHandler([&](std::string_view line, KVSingleInstance::ControlWriter write) {
            commands.start(*corvane::control::decodeRequest(line), KVControlReply(std::move(write)));
        });
        m_ready = true;
        while (!m_stop)
            loop.runOnce(std::chrono::milliseconds(5));
    }

    std::string m_folder;
    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stop{false};
};

void runRequest(benchmark::State& state, const char* command) {
    char pattern[] = "/tmp/corvane-control-bench-XXXXXX";
    const std::string folder = ::mkdtemp(pattern);
    RunningInstance instance(folder);
    const KVControlClient client(folder + "/dispatch.sock");
    for (auto _ : state) {
        const auto result = client.send({command, {}});
        if (result.reach != KVControlClient::Reach::Answered || !result.answer.ok)
            state.SkipWithError("the request was not answered");
        benchmark::DoNotOptimize(result);
    }
}

void BM_StatusRoundTrip(benchmark::State& state) {
    runRequest(state, "status");
}
BENCHMARK(BM_StatusRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ListRoundTrip(benchmark::State& state) {
    runRequest(state, "list");
}
BENCHMARK(BM_ListRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
