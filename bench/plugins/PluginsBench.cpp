// Start-up with fifty installed plug-ins, and how long a picture published from a plug-in's thread
// takes to be staged for its key's display.
#include "devicectl/DeviceRig.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "plugins/ViewPluginInstance.h"
#include "store/PropertyNode.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace {

constexpr int kPluginCount = 50;

// Fifty plug-in folders, each with its description and its own copy of the library.
struct InstalledPlugins {
    InstalledPlugins() {
        for (int i = 0; i < kPluginCount; ++i) {
            const auto folder = dir.path() / ("Sample" + std::to_string(i));
            std::filesystem::create_directories(folder);
            std::filesystem::copy_file(std::string(CORVANE_BENCH_PLUGIN_DIR) + "/Info.plist",
                                       folder / "Info.plist");
            std::filesystem::copy_file(std::string(CORVANE_BENCH_PLUGIN_DIR) + "/Sample.so",
                                       folder / ("Sample" + std::to_string(i) + ".so"));
            // Each folder declares its own identity.
            std::string text;
            {
                std::ifstream in(folder / "Info.plist");
                text.assign(std::istreambuf_iterator<char>(in), {});
            }
            text.replace(text.find("<key>Sample</key>"), 17, "<key>Sample" + std::to_string(i) + "</key>");
            std::ofstream(folder / "Info.plist") << text;
        }
    }
    TempDir dir;
};

void BM_ScanAndFillRegistry(benchmark::State& state) {
    InstalledPlugins installed;
    const bool load = state.range(0) == 1;
    for (auto _ : state) {
        KVPluginRegistry registry;
        auto root = KVPropertyNode::create("root");
        registry.scanPluginFolders(installed.dir.path().string(), *root->addChild("Plugins"));
        registry.fillRegistry(root);
        if (load)
            for (const auto& plugin : registry.plugins())
                plugin->ensureLoaded();
        benchmark::DoNotOptimize(registry.plugins().size());
        if (registry.plugins().size() != kPluginCount)
            state.SkipWithError("not every plug-in was found");
    }
}
BENCHMARK(BM_ScanAndFillRegistry)->Arg(0)->Arg(1)->ArgNames({"load"})->Unit(benchmark::kMillisecond);

// A view that keeps its context for the drawing thread.
IKVViewPluginContext* g_context = nullptr;
IKVPluginObject* createView(const char*, IKVViewPluginContext* context) {
    static const IKVPluginObjectVtbl table = {
        .GetPanel = [](IKVPluginObject*) -> IKVPluginPanel* { return nullptr; },
        .Destroy = [](IKVPluginObject*) {},
        .Start = [](IKVPluginObject*) {},
        .Stop = [](IKVPluginObject*) {},
    };
    static IKVPluginObject object{&table};
    g_context = context;
    return &object;
}

// What the device controller reads: the instance's published picture on its key.
class PublishedBindings final : public IKVDisplayBindings {
public:
    std::optional<KVDeviceBinding> DisplayBinding(unsigned) override { return std::nullopt; }
    KVPluginBitmap PublishedBitmap(KVViewPluginInstance* instance) override {
        const auto& image = instance->KeyImage();
        return image ? KVPluginBitmap{image->width(), image->height(), image->bitsPerPixel(), image->pixels()}
                     : KVPluginBitmap{};
    }
};

struct StagedCounter {
    void onImage() { ++staged; }
    int staged = 0;
};

void BM_UpdateFromPluginThreadToStagedDisplay(benchmark::State& state) {
    DeviceRig rig;
    rig.controller.reset();
    auto bindings = std::make_shared<PublishedBindings>();
    rig.controller = std::make_unique<KVDeviceController>(rig.loop, rig.dispatch, bindings, rig.idle);
    rig.connect();
    StagedCounter counter;
    rig.dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(&counter, &StagedCounter::onImage);

    KVPluginRegistry registry;
    registry.add(KVPluginInfo::inProcess("Meter", {&createView, nullptr, nullptr}));
    KVPluginInstanceFactory factory(&registry, &rig.dispatch);
    auto view = factory.CreateViewInstance(registry.find("Meter"), "Load", 1);
    view->Activate();
    view->StartView();
    KVPluginCanvas* canvas = g_context->vtbl->GetCanvas(g_context);

    uint32_t colour = 0xFF000000u;
    for (auto _ : state) {
        const int before = counter.staged;
        colour += 0x010203u;
        std::chrono::steady_clock::time_point started;
        std::thread plugin([&] {
            started = std::chrono::steady_clock::now();
            for (int i = 0; i < canvas->width * canvas->height; ++i)
                canvas->pixels[i] = colour;
            g_context->vtbl->Update(g_context);
        });
        rig.loop.runUntil([&] { return counter.staged > before; }, std::chrono::seconds(5));
        const auto done = std::chrono::steady_clock::now();
        plugin.join();
        state.SetIterationTime(std::chrono::duration<double>(done - started).count());
        state.PauseTiming();
        rig.settle();
        state.ResumeTiming();
    }
    rig.dispatch.UnregisterHandlers(&counter);
    view->Deactivate();
}
BENCHMARK(BM_UpdateFromPluginThreadToStagedDisplay)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
