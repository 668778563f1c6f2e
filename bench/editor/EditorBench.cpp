// The editor window with a large profile: how long it takes to open, and how long the event loop is
// held up while a live plug-in redraws a key every 100 ms with the window open (a frame every 16 ms is
// the goal; any gap between two ticks longer than that is a stall the user sees).
//
//   build/release/bin/editor_bench
#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "device/VirtualKeyboard.h"
#include "editor/EditorWindowHost.h"
#include "images/KVImage.h"
#include "layers/Layer.h"
#include "layers/LayerEditing.h"
#include "layers/LayersController.h"
#include "layers/LayersGroup.h"
#include "shell/CfgApp.h"
#include "shell/MainController.h"
#include "shell/QtMainLoop.h"
#include "support/FakeHook.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr int kGroups = 10;
constexpr int kLayersPerGroup = 10;
constexpr unsigned kKeysPerLayer = 12;
constexpr unsigned kKeyCount = 113;

KVPtr<KVImage> pictureOf(unsigned seed) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    auto pixels = image->pixels();
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(seed * 29 + i / 144);
    image->setChanged(true);
    return image;
}

// A running configurator over a fresh profile of 100 layers in 10 groups, each layer with its own
// pictures on a dozen keys, driving a virtual keyboard, with the editor's window host.
class EditorRig {
public:
    EditorRig() {
        ::setenv("XDG_CONFIG_HOME", (m_home / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_home / "run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", CORVANE_BENCH_DATA_HOME, 1);
        ::setenv("CORVANE_PROGRAM_DIR", CORVANE_PROGRAM_DIR, 1);
        std::filesystem::create_directories(m_home / "run");
        std::filesystem::permissions(m_home / "run", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        const std::string keyboard = m_home / "keyboard";
        corvane::device::virtualkbd::createVirtualKeyboard(keyboard, "TavirexV0.76b", 0);

        m_arguments = {"corvane-configurator", "-minimized", "--virtual-keyboard", keyboard};
        std::vector<const char*> argv;
        for (const auto& argument : m_arguments)
            argv.push_back(argument.c_str());
        m_loop = std::make_unique<KVQtMainLoop>(*QApplication::instance());
        m_app = std::make_unique<CKVCfgApp>(
            *m_loop, CKVCommandLineInfo::parse(int(argv.size()), argv.data()),
            [this](KVMainLoop&) { return m_hook; }, nullptr);
        m_app->setWatchSession(false);
        m_host = std::make_unique<KVEditorWindowHost>(m_app->services());
        m_app->setEditor(m_host.get());
        QElapsedTimer clock;
        clock.start();
        m_started = m_app->InitInstance();
        if (m_started)
            fillProfile();
        settle();
        setUpSeconds = double(clock.nsecsElapsed()) / 1e9;
    }
    ~EditorRig() {
        if (m_started)
            m_app->ExitInstance();
        m_host.reset();
        m_app.reset();
    }

    bool started() const { return m_started; }
    double setUpSeconds = 0;
    KVEditorWindowHost& host() { return *m_host; }
    KVLayersController& layers() { return m_app->mainController()->layersController(); }
    CKVMessageDispatch& dispatch() { return *m_app->dispatch(); }

    static void settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

private:
    void fillProfile() {
        KVLayerEditing& edit = layers().Editing();
        KVPtr<KVLayersItem> lastGroup;
        for (int g = 0; g < kGroups; ++g) {
            auto group = edit.NewGroup({}, lastGroup);
            edit.Rename(group, "Group " + std::to_string(g));
            KVPtr<KVLayersItem> lastLayer;
            for (int l = 0; l < kLayersPerGroup; ++l) {
                auto layer = edit.NewLayer(group, lastLayer);
                const unsigned n = unsigned(g * kLayersPerGroup + l);
                edit.Rename(layer, "Layer " + std::to_string(n));
                for (unsigned k = 0; k < kKeysPerLayer; ++k)
                    edit.SetKeyImage(layer, (n * 7 + k * 11) % kKeyCount, pictureOf(n * kKeysPerLayer + k));
                lastLayer = layer;
            }
            lastGroup = group;
        }
    }

    TempDir m_home;
    std::vector<std::string> m_arguments;
    std::shared_ptr<KVFakeHook> m_hook = std::make_shared<KVFakeHook>();
    std::unique_ptr<KVQtMainLoop> m_loop;
    std::unique_ptr<CKVCfgApp> m_app;
    std::unique_ptr<KVEditorWindowHost> m_host;
    bool m_started = false;
};

// From the request to a window that has been laid out and painted once.
void BM_OpenEditorWith100Layers(benchmark::State& state) {
    EditorRig rig;
    if (!rig.started()) {
        state.SkipWithError("the configurator did not start");
        return;
    }
    for (auto _ : state) {
        if (!rig.host().ShowEditor()) {
            state.SkipWithError("the editor did not open");
            return;
        }
        EditorRig::settle();
        rig.host().window()->repaint();
        state.PauseTiming();
        // Closing saves the profile; that is not part of opening.
        rig.host().CloseEditor();
        EditorRig::settle();
        state.ResumeTiming();
    }
    state.counters["setup_s"] = rig.setUpSeconds;
}
BENCHMARK(BM_OpenEditorWith100Layers)->Unit(benchmark::kMillisecond)->Iterations(10);

// Counts the pictures the plug-in publishes while the window is open.
struct PictureCounter {
    explicit PictureCounter(CKVMessageDispatch& dispatch) : dispatch(dispatch) {
        dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &PictureCounter::seen);
    }
    ~PictureCounter() { dispatch.UnregisterHandlers(this); }
    void seen() { ++count; }
    CKVMessageDispatch& dispatch;
    int count = 0;
};

// A 16 ms timer runs for two seconds while the plug-in's pictures arrive; the time reported is the
// longest gap between two of its ticks (one frame) in an iteration, the counters the longest of all
// iterations, the mean gap and the pictures seen. plugin:0 is the same window without the plug-in.
void BM_LongestFrameWhileAPluginTicks(benchmark::State& state) {
    EditorRig rig;
    if (!rig.started()) {
        state.SkipWithError("the configurator did not start");
        return;
    }
    // Without the plug-in the same loop gives the machine's own timer jitter to compare with.
    const bool ticking = state.range(0) == 1;
    if (ticking) {
        KVLayerEditing& edit = rig.layers().Editing();
        edit.SetViewPlugin(edit.NewLayer({}, {}), 20, "Pulse", "Beat");
    }
    if (!rig.host().ShowEditor()) {
        state.SkipWithError("the editor did not open");
        return;
    }
    EditorRig::settle();
    PictureCounter pictures(rig.dispatch());

    constexpr int kFrameMs = 16;
    constexpr int kWindowMs = 2000;
    double longest = 0, total = 0;
    int frames = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer frame;
        frame.setTimerType(Qt::PreciseTimer);
        frame.setInterval(kFrameMs);
        QElapsedTimer clock, sinceLast;
        double longestHere = 0;
        QObject::connect(&frame, &QTimer::timeout, [&] {
            const double gap = double(sinceLast.nsecsElapsed()) / 1e6;
            sinceLast.restart();
            longestHere = std::max(longestHere, gap);
            total += gap;
            ++frames;
            if (clock.elapsed() >= kWindowMs)
                loop.quit();
        });
        clock.start();
        sinceLast.start();
        frame.start();
        loop.exec();
        longest = std::max(longest, longestHere);
        state.SetIterationTime(longestHere / 1000.0);
    }
    state.counters["longest_frame_ms"] = longest;
    state.counters["mean_frame_ms"] = frames ? total / frames : 0;
    state.counters["plugin_pictures"] = pictures.count;
    if (ticking && pictures.count == 0)
        state.SkipWithError("the plug-in published nothing: is bench_plugin_Pulse built?");
    rig.host().CloseEditor();
}
BENCHMARK(BM_LongestFrameWhileAPluginTicks)
    ->ArgName("plugin")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    // The program's log goes to stderr, warnings and worse only, so the figures stay readable.
    ::setenv("CORVANE_LOG", "warn", 0);
    corvane::initLogging();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The offscreen platform cannot resize or raise windows and says so on every show.
    ::setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 0);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
