// Reading and writing layer documents, and loading a whole profile as start-up does.
#include "images/KVImage.h"
#include "store/ConfigurationStore.h"
#include "store/FileTree.h"
#include "store/ItemFolders.h"
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "store/XmlDocument.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <spdlog/spdlog.h>
#include <unistd.h>

namespace {

constexpr int kKeys = 113;

std::string keyName(int index) {
    return "Key" + std::to_string(index);
}

// A layer that binds every key: scan code, keystroke and a view plug-in with settings of its own.
KVPtr<KVPropertyNode> fullLayer(const std::string& id, int pictures, uint8_t shade) {
    auto layer = KVPropertyNode::create(id);
    layer->addChild("DisplayName", "Layer " + id);
    layer->addChild("Disabled", "false");
    layer->addChild("Conditions")
        ->addChild("{A1B2C3D4-0000-0000-0000-000000000000}")
        ->addChild("Type", "App");
    auto buttons = layer->addChild("Buttons");
    for (int key = 0; key < kKeys; ++key) {
        auto entry = buttons->addChild(keyName(key));
        entry->addChild("ScanCode", std::to_string(100 + key).substr(0, 3));
        entry->addChild("Keystroke", "Ctrl+Alt+" + std::to_string(key));
        auto view = entry->addChild("ViewPlugin");
        view->addChild("PluginID", "com.example.clock");
        auto settings = view->addChild("PluginProperties");
        settings->addChild("Format", "%H:%M:%S");
        settings->addChild("Colour", "16777215");
        if (key < pictures) {
            auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
            for (auto& byte : image->pixels())
                byte = static_cast<uint8_t>(shade + key);
            image->setChanged(true);
            entry->addChild("Image", keyName(key), image);
        }
    }
    return layer;
}

std::string printedLayer() {
    auto document = KVXmlDocument::fromTemplate("");
    corvane::writeEntries(document.topDictionary(), *fullLayer("layer", 0, 0));
    return document.print();
}

void BM_ParseLayerDocument(benchmark::State& state) {
    const std::string text = printedLayer();
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::parsePropertyList(text, "layer"));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_ParseLayerDocument)->Unit(benchmark::kMicrosecond);

void BM_PrintLayerDocument(benchmark::State& state) {
    const auto layer = fullLayer("layer", 0, 0);
    for (auto _ : state) {
        auto document = KVXmlDocument::fromTemplate("");
        corvane::writeEntries(document.topDictionary(), *layer);
        benchmark::DoNotOptimize(document.print());
    }
}
BENCHMARK(BM_PrintLayerDocument)->Unit(benchmark::kMicrosecond);

// Includes the temporary file, fsync, rename and folder fsync of every save.
void BM_SaveLayerDocument(benchmark::State& state) {
    char folder[] = "/tmp/corvane-bench-XXXXXX";
    ::mkdtemp(folder);
    const auto layer = fullLayer("layer", 0, 0);
    for (auto _ : state)
        corvane::savePropertyList(*layer, std::string(folder) + "/Layer.plist");
    corvane::deleteTree(folder);
}
BENCHMARK(BM_SaveLayerDocument)->Unit(benchmark::kMicrosecond);

struct NullControllers : IKVLayerCakeConfiguration, IKVPluginRegistryConfiguration, IKVSettingsConfiguration {
    void loadLayers(const KVPtr<KVPropertyNode>&) override {}
    void saveLayers(KVPropertyNode& root) override { root.setChild(layers); }
    void scanPluginFolders(const std::string&, KVPropertyNode&) override {}
    void fillRegistry(const KVPtr<KVPropertyNode>&) override {}
    void loadSettings(const KVPtr<KVPropertyNode>&) override {}
    void saveSettings(KVPropertyNode&) override {}
    KVPtr<KVPropertyNode> layers;
};

// A profile of 100 fully bound layers in 10 groups; `pictures` of each layer's keys carry a picture.
class Profile {
public:
    explicit Profile(int pictures) {
        char folder[] = "/tmp/corvane-bench-XXXXXX";
        m_folder = ::mkdtemp(folder);
        KVFolderEnvironment environment;
        environment.configHome = m_folder;
        environment.programDirOverride = m_folder + "/program";
        m_folders = std::make_unique<KVStoreFolders>(environment);
        auto layers = KVPropertyNode::create("Layers");
        layers->addChild("DisplayName", "root");
        layers->addChild("Type", "Group");
        auto order = layers->addChild("ItemOrder");
        for (int g = 0; g < 10; ++g) {
            auto group = order->addChild("group" + std::to_string(g));
            group->addChild("Type", "Group");
            auto items = group->addChild("ItemOrder");
            for (int l = 0; l < 10; ++l)
                items->setChild(fullLayer("layer" + std::to_string(l), pictures, uint8_t(g * 10 + l)));
        }
        m_controllers.layers = layers;
        store().saveConfiguration();
    }
    ~Profile() { corvane::deleteTree(m_folder); }

    KVConfigurationStore store() {
        return KVConfigurationStore(*m_folders, {m_controllers, &m_controllers, m_controllers, m_controllers},
                                    [](std::string_view name) { return name.starts_with("Key"); });
    }

private:
    std::string m_folder;
    std::unique_ptr<KVStoreFolders> m_folders;
    NullControllers m_controllers;
};

void BM_LoadProfile(benchmark::State& state) {
    Profile profile(static_cast<int>(state.range(0)));
    auto store = profile.store();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.loadConfiguration());
    state.counters["pictures"] = double(state.range(0) * 100);
}
BENCHMARK(BM_LoadProfile)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    spdlog::set_level(spdlog::level::warn);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
