#include "shell/CfgApp.h"

#include "conditions/ConditionEnvironment.h"
#include "core/MessageDispatch.h"
#include "devicectl/Device.h"
#include "devicectl/DeviceController.h"
#include "images/KVGlobalImageList.h"
#include "images/KVTextRenderer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "shell/EditorHost.h"
#include "shell/MainController.h"
#include "store/StoreFolders.h"
#include "support/FakeHook.h"
#include "support/ManualLoop.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"
#include "system/linux/SessionLayouts.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <typeindex>

using namespace std::chrono_literals;

namespace {

struct FakeEditor final : IKVEditorHost {
    int created = 0, shown = 0, closed = 0;
    bool failNextCreate = false;
    bool open = false;
    bool ShowEditor() override {
        if (!open) {
            if (failNextCreate) {
                failNextCreate = false;
                return false;
            }
            ++created;
            open = true;
        }
        ++shown;
        return true;
    }
    void CloseEditor() override {
        if (open)
            ++closed;
        open = false;
    }
    bool HasEditor() const override { return open; }
};

struct CfgAppTest : ::testing::Test {
    // The services find their folders through the environment: keep them off the user's own.
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/corvane-cfgapp-XXXXXX";
        const std::string home = ::mkdtemp(pattern);
        s_home = home;
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        std::filesystem::create_directories(home + "/run");
    }

    inline static std::string s_home;
    KVManualLoop loop;
    FakeEditor editor;
    std::shared_ptr<KVFakeHook> hook = std::make_shared<KVFakeHook>();

    std::unique_ptr<CKVCfgApp> makeApp(std::vector<const char*> args) {
        args.insert(args.begin(), "corvane-configurator");
        const std::string keyboard = s_home + "/no-keyboard";
        args.push_back("--virtual-keyboard");
        args.push_back(keyboard.c_str());
        auto app = std::make_unique<CKVCfgApp>(
            loop, CKVCommandLineInfo::parse(int(args.size()), args.data()),
            [this](KVMainLoop&) { return hook; }, &editor);
        app->setWatchSession(false);
        return app;
    }
};

TEST_F(CfgAppTest, StartUpCreatesTheDispatchFirstThenHooksAndShowsTheEditor) {
    auto app = makeApp({});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_TRUE(app->initialised());
    // The main controller completes last: the services it creates come up inside its constructor.
    const std::vector<std::type_index> expected{typeid(CKVMessageDispatch),
                                                typeid(IKVSystemHook),
                                                typeid(KVConditionEnvironment),
                                                typeid(KVGlobalImageList),
                                                typeid(KVTextRenderer),
                                                typeid(KVSessionLayouts),
                                                typeid(KVKeyboardLayouts),
                                                typeid(KVSysApplicationsController),
                                                typeid(KVLayerCake),
                                                typeid(KVStoreFolders),
                                                typeid(KVLayersController),
                                                typeid(KVDeviceController),
                                                typeid(KVDevice),
                                                typeid(KVMainController)};
    EXPECT_EQ(app->services().creationOrder(), expected);
    EXPECT_EQ(app->mainController()->conditionEnvironment().applications,
              app->services().find<KVSysApplicationsController>());
    EXPECT_TRUE(hook->hooked());
    EXPECT_EQ(editor.created, 1);

    // A second request brings the same window forward.
    app->dispatch()->send<KVM_SHOW_EDITOR>();
    EXPECT_EQ(editor.created, 1);
    EXPECT_EQ(editor.shown, 2);
}

TEST_F(CfgAppTest, MinimizedStartShowsNoEditorUntilAsked) {
    auto app = makeApp({"-minimized"});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(editor.created, 0);
    editor.failNextCreate = true;
    app->dispatch()->send<KVM_SHOW_EDITOR>();
    EXPECT_EQ(editor.created, 0) << "a failed creation leaves no window";
    app->dispatch()->send<KVM_SHOW_EDITOR>();
    EXPECT_EQ(editor.created, 1) << "the next request tries again";
}

TEST_F(CfgAppTest, ExitClosesTheEditorOnceAndReleasesServicesInReverse) {
    auto app = makeApp({});
    ASSERT_TRUE(app->InitInstance());
    app->mainController()->Exit();
    EXPECT_EQ(editor.closed, 1);
    loop.runUntil([&] { return loop.quitRequested(); }, 5s);
    EXPECT_TRUE(app->dispatch()->IsDestroyed());
    EXPECT_EQ(app->ExitInstance(), 0);
    EXPECT_EQ(editor.closed, 1) << "the editor was already closed by Exit";
    EXPECT_EQ(app->services().size(), 0u);
    EXPECT_FALSE(hook->hooked()) << "the hook is released with its service";
}

TEST_F(CfgAppTest, ExitWithTheEditorOpenClosesItAtShutdown) {
    auto app = makeApp({});
    ASSERT_TRUE(app->InitInstance());
    app->dispatch()->NotifyDispatch(KVM_CLOSE);
    EXPECT_TRUE(loop.quitRequested());
    app->ExitInstance();
    EXPECT_EQ(editor.closed, 1);
}

TEST_F(CfgAppTest, AnExitBeforeStartUpCompletedRunsNoShutdownStep) {
    auto app = makeApp({});
    EXPECT_EQ(app->ExitInstance(), 0);
    EXPECT_EQ(editor.closed, 0);
    EXPECT_EQ(app->services().size(), 0u);
}

} // namespace
