#include "hook/WlrToplevelSource.h"

#include "hook/HookEvents.h"
#include "support/ScopedEnvironment.h"
#include "support/SwaySession.h"

#include <cstdlib>

namespace {

struct WlrToplevelHookTest : HookEventsTest {};

// Sway offers the protocol too; its IPC is kept out of reach so that the protocol alone is followed.
TEST_F(WlrToplevelHookTest, TheActivatedWindowsAppIdFollowsFocus) {
    if (std::system("command -v foot >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "foot is not installed";
    TestSway sway("us");
    if (!sway.running())
        GTEST_SKIP() << sway.failure();
    auto foot = sway.startClient({"foot", "--app-id=Org.Example.Terminal", "sleep", "60"});
    ASSERT_TRUE(loop.runUntil([&] { return sway.command("'[app_id=Org.Example.Terminal] focus'"); }, 10s))
        << "foot's window did not appear";
    ScopedEnvironment env;
    env.set("WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay());
    env.set("SWAYSOCK", sway.ipcSocket());
    env.set(KVSessionHook::kForcedSourceVariable, "foreign-toplevel");

    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    ASSERT_EQ(hook.foregroundSource(), "the wlroots foreign-toplevel protocol");
    // The window that was in front before the hook started is known at once, by its app id only.
    ASSERT_FALSE(activated.empty());
    EXPECT_EQ(hook.WindowOwner(activated.back()).names, std::vector<std::string>{"org.example.terminal"});
    EXPECT_EQ(hook.WindowOwner(activated.back()).pid, std::nullopt);

    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(awaitNames(hook, {"corvane-test-window"})) << "the Qt window did not come to the front";
    const size_t afterQt = activated.size();
    ASSERT_TRUE(sway.command("'[app_id=Org.Example.Terminal] focus'"));
    EXPECT_TRUE(awaitNames(hook, {"org.example.terminal"}));
    // Leaving one window for another is one change, not a passage through "nothing in front".
    EXPECT_EQ(activated.size(), afterQt + 1);
    EXPECT_EQ(hook.sessionLayouts(), std::vector<std::string>{});
    hook.UnHook();
}

TEST(WlrToplevelSource, NoDisplayMeansNoSource) {
    KVManualLoop loop;
    EXPECT_FALSE(KVWlrToplevelSource::connect(loop, "/nonexistent/wayland-9"));
}

} // namespace
