// What the keyboard view costs to draw at a typical size: everything again (a new edited item, an undo,
// a layer change) and the marks only (the mouse moving over the keys), with all 113 keys showing a
// picture of the edited layer.
#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "editor/LayersView.h"
#include "images/KVImage.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "shell/CfgApp.h"
#include "shell/QtMainLoop.h"
#include "support/FakeHook.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

struct Configurator {
    std::filesystem::path home;
    std::unique_ptr<KVQtMainLoop> loop;
    std::unique_ptr<CKVCfgApp> app;
    std::unique_ptr<KVEditorServices> services;
};

Configurator* g_configurator = nullptr;

KVPtr<KVImage> shade(unsigned key) {
    auto image = std::make_shared<KVImage>(48, 48);
    auto pixels = image->pixels();
    for (size_t at = 0; at < pixels.size(); ++at)
        pixels[at] = uint8_t(key * 7 + at % 251);
    return image;
}

// A configurator on a scratch profile, without a keyboard, with one user layer that binds every key.
void startConfigurator(Configurator& c) {
    c.home = std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(c.home / "run");
    std::filesystem::permissions(c.home / "run", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    ::setenv("XDG_CONFIG_HOME", (c.home / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (c.home / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (c.home / "run").c_str(), 1);
    ::setenv("CORVANE_PROGRAM_DIR", CORVANE_PROGRAM_DIR, 1);
    const std::string keyboard = (c.home / "no-keyboard").string();
    const char* argv[] = {"corvane-configurator", "-minimized", "--virtual-keyboard", keyboard.c_str()};
    c.loop = std::make_unique<KVQtMainLoop>(*QApplication::instance());
    auto hook = std::make_shared<KVFakeHook>();
    c.app = std::make_unique<CKVCfgApp>(
        *c.loop, CKVCommandLineInfo::parse(4, argv), [hook](KVMainLoop&) { return hook; }, nullptr);
    c.app->setWatchSession(false);
    if (!c.app->InitInstance())
        std::abort();
    c.services = std::make_unique<KVEditorServices>(KVEditorServices::from(c.app->services()));
    auto& layers = c.services->layers;
    auto layer = layers.Editing().NewLayer(c.services->cake.userLayers(), {});
    for (unsigned key = 0; key < 113; ++key)
        layers.Editing().SetKeyImage(layer, key, shade(key));
    layers.SetEditedItem(layer);
    layers.ShowForEditing(layer);
    c.services->dispatch.send<KVM_TREE_SELECTION_CHANGED>();
}

void renderView(benchmark::State& state, bool everything) {
    CKVLayersView view(*g_configurator->services);
    view.resize(int(state.range(0)), int(state.range(0)) * 425 / 1304);
    view.show();
    QApplication::processEvents();
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        if (everything)
            view.invalidate();
        QPainter painter(&target);
        view.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_KeyboardViewFullRepaint(benchmark::State& state) {
    renderView(state, true);
}
BENCHMARK(BM_KeyboardViewFullRepaint)->Arg(900)->Arg(1300)->Arg(1900)->Unit(benchmark::kMillisecond);

void BM_KeyboardViewMarksOnly(benchmark::State& state) {
    renderView(state, false);
}
BENCHMARK(BM_KeyboardViewMarksOnly)->Arg(900)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    Configurator configurator;
    startConfigurator(configurator);
    g_configurator = &configurator;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    configurator.app->ExitInstance();
    configurator.services.reset();
    configurator.app.reset();
    std::filesystem::remove_all(configurator.home);
    return 0;
}
