#include "core/ManualLoop.h"
#include "core/MessageDispatch.h"
#include "hook/ProcessWatcher.h"
#include "hook/SessionHook.h"
#include "hook/X11Session.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Received {
    std::vector<unsigned long> activated;
    std::vector<std::pair<unsigned, long>> processes;
    int stateChanges = 0;
    void onActivated(unsigned long window) { activated.push_back(window); }
    void onProcess(unsigned started, long pid) { processes.emplace_back(started, pid); }
    void onState() { ++stateChanges; }
};

struct HookFixture : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    Received received;
    void SetUp() override {
        dispatch.RegisterHandler(KVM_WINDOW_ACTIVATED, &received, &Received::onActivated);
        dispatch.RegisterHandler(KVM_PROCESS_EVENT, &received, &Received::onProcess);
        dispatch.RegisterHandler(KVM_HOOK_STATE_CHANGED, &received, &Received::onState);
    }
};

// A second client of the test's X server: it plays the window manager and the user's keyboard.
struct XClient {
    xcb_connection_t* conn;
    xcb_screen_t* screen;
    xcb_ewmh_connection_t ewmh;
    explicit XClient(const std::string& display) {
        conn = xcb_connect(display.c_str(), nullptr);
        screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
        xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(conn, &ewmh), nullptr);
        free(xcb_xkb_use_extension_reply(conn, xcb_xkb_use_extension(conn, 1, 0), nullptr));
    }
    ~XClient() {
        xcb_ewmh_connection_wipe(&ewmh);
        xcb_disconnect(conn);
    }
    xcb_window_t createWindow(uint32_t pid) {
        const xcb_window_t window = xcb_generate_id(conn);
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_ewmh_set_wm_pid(&ewmh, window, pid);
        return window;
    }
    void activate(xcb_window_t window) {
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, screen->root, ewmh._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 32, 1,
                            &window);
        xcb_flush(conn);
    }
    void lockModifiers(uint8_t mods, bool on) {
        xcb_xkb_latch_lock_state(conn, XCB_XKB_ID_USE_CORE_KBD, mods, on ? mods : 0, 0, 0, 0, 0, 0);
        xcb_flush(conn);
    }
    // A real key press, as the user's keyboard would send it.
    static bool typeKey(const std::string& display, const char* action, const char* key) {
        const std::string command = "DISPLAY=" + display + " xdotool " + action + " " + key;
        return std::system(command.c_str()) == 0;
    }
};

TEST_F(HookFixture, X11ActiveWindowAndKeyboardStateAreReported) {
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    auto session = KVX11Session::connect(loop, server.display());
    ASSERT_TRUE(session);
    session->start(dispatch);
    XClient x(server.display());

    const xcb_window_t first = x.createWindow(4242);
    const xcb_window_t second = x.createWindow(4343);
    x.activate(first);
    ASSERT_TRUE(loop.runUntil([&] { return received.activated.size() == 1; }, 5s));
    EXPECT_EQ(received.activated[0], first);
    EXPECT_EQ(session->windowProcessId(first), 4242);
    x.activate(first); // rewriting the same window is not a change
    x.activate(second);
    ASSERT_TRUE(loop.runUntil([&] { return received.activated.size() == 2; }, 5s));
    EXPECT_EQ(received.activated[1], second);

    EXPECT_EQ(session->modifiersState() & 16, 0);
    x.lockModifiers(XCB_MOD_MASK_LOCK, true);
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() & 16; }, 5s)) << "Caps Lock not seen";
    EXPECT_GE(received.stateChanges, 1);

    const int before = received.stateChanges;
    ASSERT_TRUE(XClient::typeKey(server.display(), "keydown", "Control_L"));
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() & 2; }, 5s)) << "Ctrl not seen";
    EXPECT_EQ(session->modifiersState() & 16, 16) << "Caps Lock must stay on";
    EXPECT_GT(received.stateChanges, before);

    ASSERT_TRUE(XClient::typeKey(server.display(), "keyup", "Control_L"));
    x.lockModifiers(XCB_MOD_MASK_LOCK, false);
    ASSERT_TRUE(loop.runUntil([&] { return session->modifiersState() == 0; }, 5s));
}

TEST_F(HookFixture, WithoutADisplayTheSessionHookKeepsWorking) {
    EXPECT_EQ(KVX11Session::connect(loop, ":9999"), nullptr);
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    ::setenv("DISPLAY", ":9999", 1);
    {
        KVSessionHook hook(loop);
        hook.Hook(dispatch);
        EXPECT_EQ(hook.GetHookModifiersState(), 0);
        EXPECT_EQ(hook.WindowProcessId(1), std::nullopt);
        EXPECT_NE(hook.processSource(), KVProcessWatcher::Source::None);
        hook.UnHook();
    }
    if (saved)
        ::setenv("DISPLAY", display.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
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
        for (auto& [s, pid] : received.processes)
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
