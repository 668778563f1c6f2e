#include "shell/CfgApp.h"

#include "FakeEditor.h"
#include "conditions/ConditionEnvironment.h"
#include "core/MessageDispatch.h"
#include "devicectl/DeviceController.h"
#include "layers/LayersController.h"
#include "shell/MainController.h"
#include "support/FakeHook.h"
#include "support/ManualLoop.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <typeindex>

using namespace std::chrono_literals;

namespace {

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

TEST_F(CfgAppTest, StartUpCreatesTheDispatchFirstThenHooksAndShowsTheEditorAndExitUndoesItInReverse) {
    auto app = makeApp({});
    ASSERT_TRUE(app->InitInstance());
    EXPECT_TRUE(app->initialised());
    // The dispatch comes first and the hook next; a service comes before those that use it; the main
    // controller completes last, as the services it creates come up inside its constructor.
    const auto order = app->services().creationOrder();
    auto at = [&](std::type_index type) {
        return std::find(order.begin(), order.end(), type) - order.begin();
    };
    EXPECT_EQ(order.size(), 19u);
    EXPECT_EQ(at(typeid(CKVMessageDispatch)), 0);
    EXPECT_EQ(at(typeid(IKVSystemHook)), 1);
    EXPECT_LT(at(typeid(KVConditionEnvironment)), at(typeid(KVKeyboardLayouts)));
    EXPECT_LT(at(typeid(KVKeyboardLayouts)), at(typeid(KVLayersController)));
    EXPECT_LT(at(typeid(KVLayersController)), at(typeid(KVDeviceController)));
    EXPECT_EQ(at(typeid(KVMainController)), std::ptrdiff_t(order.size()) - 1);
    EXPECT_EQ(app->mainController()->conditionEnvironment().applications,
              app->services().find<KVSysApplicationsController>());
    EXPECT_TRUE(hook->hooked());
    EXPECT_EQ(editor.created, 1);

    // A second request brings the same window forward.
    app->dispatch()->send<KVM_SHOW_EDITOR>();
    EXPECT_EQ(editor.created, 1);
    EXPECT_EQ(editor.shown, 2);

    // Exit closes the editor once and releases the services, the hook with its own.
    app->mainController()->Exit();
    EXPECT_EQ(editor.closed, 1);
    loop.runUntil([&] { return loop.quitRequested(); }, 5s);
    EXPECT_TRUE(app->dispatch()->IsDestroyed());
    EXPECT_EQ(app->ExitInstance(), 0);
    EXPECT_EQ(editor.closed, 1) << "the editor was already closed by Exit";
    EXPECT_EQ(app->services().size(), 0u);
    EXPECT_FALSE(hook->hooked());
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

TEST_F(CfgAppTest, ExitWithTheEditorOpenClosesItAtShutdownButNotBeforeStartUpCompleted) {
    auto early = makeApp({});
    EXPECT_EQ(early->ExitInstance(), 0);
    EXPECT_EQ(early->services().size(), 0u);
    EXPECT_EQ(editor.closed, 0) << "an exit before start-up completed runs no shutdown step";

    auto app = makeApp({});
    ASSERT_TRUE(app->InitInstance());
    app->dispatch()->NotifyDispatch(KVM_CLOSE);
    EXPECT_TRUE(loop.quitRequested());
    app->ExitInstance();
    EXPECT_EQ(editor.closed, 1);
}

} // namespace
