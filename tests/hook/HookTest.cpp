#include "hook/HookEvents.h"
#include "hook/ProcessWatcher.h"
#include "hook/X11Session.h"
#include "support/ScopedEnvironment.h"
#include "support/TestXClient.h"
#include "support/Xvfb.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

using HookFixture = HookEventsTest;

TEST_F(HookFixture, X11ActiveWindowAndKeyboardStateAreReported) {
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    auto session = KVX11Session::connect(loop, server.display());
    ASSERT_TRUE(session);
    session->start(dispatch);
    TestXClient x(server.display());

    const xcb_window_t first = x.createWindow(4242);
    const xcb_window_t second = x.createWindow(4343);
    x.activate(first);
    ASSERT_TRUE(loop.runUntil([&] { return activated.size() == 1; }, 5s));
    EXPECT_EQ(activated[0], first);
    EXPECT_EQ(session->windowProcessId(first), 4242);
    x.activate(first); // rewriting the same window is not a change
    x.activate(second);
    ASSERT_TRUE(loop.runUntil([&] { return activated.size() == 2; }, 5s));
    EXPECT_EQ(activated[1], second);

    EXPECT_EQ(session->modifiersState() & 16, 0);
    x.lockModifiers(XCB_MOD_MASK_LOCK, true);
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() & 16; }, 5s)) << "Caps Lock not seen";
    EXPECT_GE(stateChanges, 1);

    const int before = stateChanges;
    ASSERT_TRUE(TestXClient::typeKey(server.display(), "keydown", "Control_L"));
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() & 2; }, 5s)) << "Ctrl not seen";
    EXPECT_EQ(session->modifiersState() & 16, 16) << "Caps Lock must stay on";
    EXPECT_GT(stateChanges, before);

    ASSERT_TRUE(TestXClient::typeKey(server.display(), "keyup", "Control_L"));
    x.lockModifiers(XCB_MOD_MASK_LOCK, false);
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() == 0; }, 5s));
}

TEST_F(HookFixture, WithoutADisplayTheSessionHookKeepsWorking) {
    EXPECT_EQ(KVX11Session::connect(loop, ":9999"), nullptr);
    ScopedEnvironment env;
    env.set("DISPLAY", ":9999");
    KVSessionHook hook(loop);
    hook.Hook(dispatch);
    EXPECT_EQ(hook.GetHookModifiersState(), 0);
    EXPECT_EQ(hook.WindowProcessId(1), std::nullopt);
    EXPECT_NE(hook.processSource(), KVProcessWatcher::Source::None);
    hook.UnHook();
}

class ProcessWatcherTest : public HookFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(ProcessWatcherTest, AStartedAndAnEndedChildAreReported) {
    KVProcessWatcher watcher(loop);
    watcher.start(dispatch, GetParam());
    // Let the netlink probe settle, so that the child is seen by the source that stays.
    loop.runUntil([] { return false; }, 1700ms);

    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("sleep", "sleep", "1.5", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    auto seen = [&](unsigned started) {
        for (auto& [s, pid] : processes)
            if (pid == child && s == started)
                return true;
        return false;
    };
    EXPECT_TRUE(loop.runUntil([&] { return seen(1); }, 5s)) << "start not reported";
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(loop.runUntil([&] { return seen(0); }, 5s)) << "end not reported";
}

INSTANTIATE_TEST_SUITE_P(Sources, ProcessWatcherTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Preferred" : "ProcScan"; });

} // namespace
