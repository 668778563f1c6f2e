// The active window's program under a real window manager (openbox), for programs that set _NET_WM_PID
// (Qt) and for those that do not (xcalc, an Xt program).

#include "core/MessageDispatch.h"
#include "hook/X11Session.h"
#include "support/ChildProcess.h"
#include "support/ManualLoop.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

using namespace std::chrono_literals;

namespace {

bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

struct X11ForegroundTest : ::testing::Test {
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    std::vector<unsigned long> activated;

    void SetUp() override {
        if (!haveProgram("openbox") || !haveProgram("xcalc") || !haveProgram("xdotool"))
            GTEST_SKIP() << "openbox, xcalc or xdotool is not installed";
        dispatch.RegisterHandler<KVM_WINDOW_ACTIVATED>(this, &X11ForegroundTest::onActivated);
    }
    void onActivated(unsigned long window) { activated.push_back(window); }

    // Waits for the window manager to make a window of `pid` (or, with pid 0, any window) active.
    std::optional<unsigned long> awaitWindowOf(KVX11Session& session, pid_t pid) {
        std::optional<unsigned long> found;
        loop.runUntil(
            [&] {
                for (unsigned long window : activated)
                    if (pid == 0 || session.windowOwner(window).pid == pid)
                        found = window;
                return found.has_value();
            },
            10s);
        return found;
    }

    // A window mapped before the window manager runs is managed but not focused.
    static bool awaitWindowManager(const std::string& display) {
        xcb_connection_t* conn = xcb_connect(display.c_str(), nullptr);
        xcb_ewmh_connection_t ewmh;
        xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(conn, &ewmh), nullptr);
        bool ready = false;
        for (int attempt = 0; attempt < 200 && !ready; ++attempt) {
            xcb_window_t check = 0;
            ready = xcb_ewmh_get_supporting_wm_check_reply(
                &ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, ewmh.screens[0]->root), &check, nullptr);
            if (!ready)
                ::usleep(50'000);
        }
        xcb_ewmh_connection_wipe(&ewmh);
        xcb_disconnect(conn);
        return ready;
    }

    // The first window that xdotool finds with `query`, within `attempts` × 50 ms.
    static std::optional<unsigned long> findWindow(const std::string& display, const std::string& query,
                                                   int attempts = 200) {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            const std::string command =
                "DISPLAY=" + display + " xdotool search --limit 1 " + query + " 2>/dev/null";
            std::unique_ptr<FILE, decltype(&::pclose)> out(::popen(command.c_str(), "r"), ::pclose);
            char line[64] = {};
            if (std::fgets(line, sizeof line, out.get()) && std::strtoul(line, nullptr, 10) != 0)
                return std::strtoul(line, nullptr, 10);
            ::usleep(50'000);
        }
        return std::nullopt;
    }

    // The visible window of the program with WM_CLASS `className`. A window mapped while openbox is still
    // starting up can stay unmapped; asking for it to be mapped again settles that.
    static std::optional<unsigned long> findVisibleWindow(const std::string& display,
                                                          const std::string& className) {
        for (int round = 0; round < 3; ++round) {
            if (auto window = findWindow(display, "--onlyvisible --class " + className, 60))
                return window;
            if (auto hidden = findWindow(display, "--class " + className, 20))
                std::system(("DISPLAY=" + display + " xdotool windowmap " + std::to_string(*hidden) +
                             " >/dev/null 2>&1")
                                .c_str());
        }
        return std::nullopt;
    }

    static void focus(const std::string& display, unsigned long window) {
        const std::string command = "DISPLAY=" + display + " xdotool windowactivate --sync " +
                                    std::to_string(window) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << "xdotool could not activate the window";
    }
};

TEST_F(X11ForegroundTest, WindowsWithAndWithoutAProcessPropertyFindTheirProgram) {
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    const std::vector<std::pair<std::string, std::string>> env{{"DISPLAY", server.display()}};
    ChildProcess wm({"openbox", "--sm-disable"}, env);
    ASSERT_TRUE(awaitWindowManager(server.display())) << "openbox did not start";
    auto session = KVX11Session::connect(loop, server.display());
    ASSERT_TRUE(session);
    session->start(dispatch);

    ChildProcess xcalc({"xcalc"}, env);
    ChildProcess qt({CORVANE_BIN_DIR "/corvane-test-window", "qt"},
                    {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}});
    // Whether the window manager focuses a new window depends on timing; the test focuses each itself.
    const auto calcWindow = findVisibleWindow(server.display(), "xcalc");
    const auto qtWindow = findWindow(server.display(), "--onlyvisible --name '^qt$'");
    ASSERT_TRUE(calcWindow && qtWindow) << "the windows did not appear";
    focus(server.display(), *calcWindow);
    EXPECT_EQ(awaitWindowOf(*session, xcalc.pid), calcWindow) << "xcalc's process was not found";
    EXPECT_TRUE(session->windowOwner(*calcWindow).names.empty()) << "names only when the process is unknown";

    // Focus changes made through the window manager, back and forth.
    for (int round = 0; round < 2; ++round) {
        activated.clear();
        focus(server.display(), *qtWindow);
        ASSERT_EQ(awaitWindowOf(*session, qt.pid), qtWindow);
        activated.clear();
        focus(server.display(), *calcWindow);
        ASSERT_EQ(awaitWindowOf(*session, xcalc.pid), calcWindow);
    }
}

TEST_F(X11ForegroundTest, WithoutTheClientsProcessTheWindowClassNamesTheProgram) {
    // As for a client on another machine: the server cannot tell its process.
    TestXServer server({"-extension", "X-Resource"});
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    const std::vector<std::pair<std::string, std::string>> env{{"DISPLAY", server.display()}};
    ChildProcess wm({"openbox", "--sm-disable"}, env);
    ASSERT_TRUE(awaitWindowManager(server.display())) << "openbox did not start";
    auto session = KVX11Session::connect(loop, server.display());
    ASSERT_TRUE(session);
    session->start(dispatch);

    ChildProcess xcalc({"xcalc"}, env);
    auto window = findVisibleWindow(server.display(), "xcalc");
    ASSERT_TRUE(window) << "the xcalc window did not appear";
    focus(server.display(), *window);
    ASSERT_EQ(awaitWindowOf(*session, 0), window);
    const KVWindowOwner owner = session->windowOwner(*window);
    EXPECT_EQ(owner.pid, std::nullopt);
    EXPECT_EQ(owner.names, std::vector<std::string>{"xcalc"}) << "instance and class, lower case, once each";
}

} // namespace
