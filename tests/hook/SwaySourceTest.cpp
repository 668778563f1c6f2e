#include "hook/SwaySource.h"

#include "core/MessageDispatch.h"
#include "hook/HookEvents.h"
#include "hook/SessionHook.h"
#include "support/ManualLoop.h"
#include "support/ScopedEnvironment.h"
#include "support/SwaySession.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace sway = corvane::sway;

namespace {

TEST(SwayIpc, FramesAreTakenWholeAndInOrder) {
    std::string stream = sway::frame(0x80000003u, R"({"change":"focus"})") + sway::frame(4, "[]");
    std::string buffer = stream.substr(0, 10);
    EXPECT_FALSE(sway::takeFrame(buffer)) << "header incomplete";
    buffer = stream.substr(0, stream.size() - 1);
    auto first = sway::takeFrame(buffer);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, 0x80000003u);
    EXPECT_EQ(first->payload, R"({"change":"focus"})");
    EXPECT_FALSE(sway::takeFrame(buffer)) << "payload incomplete";
    buffer += stream.back();
    auto second = sway::takeFrame(buffer);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->payload, "[]");
    EXPECT_TRUE(buffer.empty());
}

TEST(SwayIpc, ContainersNameTheirProgram) {
    auto native = sway::containerOwner(R"({"pid":412,"app_id":"Org.Example.Foot"})");
    EXPECT_EQ(native.pid, 412);
    EXPECT_EQ(native.names, std::vector<std::string>{"org.example.foot"});
    auto x11 = sway::containerOwner(
        R"({"pid":0,"app_id":null,"window_properties":{"class":"XCalc","instance":"xcalc"}})");
    EXPECT_EQ(x11.pid, std::nullopt);
    EXPECT_EQ(x11.names, (std::vector<std::string>{"xcalc"}));
    EXPECT_FALSE(sway::containerOwner("not json").known());
}

TEST(SwayIpc, TheFocusedWindowIsFoundInTheTreeButNotAFocusedWorkspace) {
    const std::string tree = R"({"type":"root","focused":false,"nodes":[{"type":"output","nodes":[
        {"type":"workspace","focused":false,"nodes":[{"type":"con","focused":false,"pid":1}],
         "floating_nodes":[{"type":"floating_con","focused":true,"pid":2,"app_id":"f"}]}]}]})";
    EXPECT_EQ(sway::containerOwner(sway::focusedContainer(tree)).pid, 2);
    EXPECT_EQ(sway::focusedContainer(R"({"type":"root","nodes":[{"type":"workspace","focused":true}]})"), "");
}

struct SwayHookTest : HookEventsTest {};

TEST_F(SwayHookTest, FocusAndLayoutFollowSway) {
    if (std::system("command -v foot >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "foot is not installed";
    TestSway sway("us,de");
    if (!sway.running())
        GTEST_SKIP() << sway.failure();
    ScopedEnvironment env;
    env.set("WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay());
    env.set("SWAYSOCK", sway.ipcSocket());

    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    ASSERT_EQ(hook.foregroundSource(), "sway IPC");
    EXPECT_EQ(hook.sessionLayouts(), (std::vector<std::string>{"English (US)", "German"}));
    EXPECT_EQ(hook.layoutGroup(), 0);

    auto foot = sway.startClient({"foot", "sleep", "60"});
    ASSERT_TRUE(awaitForeground(hook, foot->pid)) << "foot's window did not come to the front";
    EXPECT_EQ(hook.WindowOwner(activated.back()).names, std::vector<std::string>{"foot"});
    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(awaitForeground(hook, qt->pid)) << "the Qt window did not come to the front";

    ASSERT_TRUE(sway.command("'[app_id=foot] focus'"));
    EXPECT_TRUE(awaitForeground(hook, foot->pid));
    ASSERT_TRUE(sway.command("'[app_id=corvane-test-window] focus'"));
    EXPECT_TRUE(awaitForeground(hook, qt->pid));

    const int before = stateChanges;
    ASSERT_TRUE(sway.command("input type:keyboard xkb_switch_layout 1"));
    EXPECT_TRUE(loop.runUntil([&] { return hook.layoutGroup() == 1; }, 5s));
    EXPECT_GT(stateChanges, before);
    hook.UnHook();
}

} // namespace
