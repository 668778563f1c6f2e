// The active window's program under a real window manager (openbox) for a program that does not set
// _NET_WM_PID (xcalc, an Xt program).

#include "hook/HookEvents.h"
#include "hook/X11Session.h"
#include "support/ChildProcess.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unistd.h>
#include <xcb/xcb_ewmh.h>

namespace {

bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// A window mapped before the window manager runs is managed but not focused.
bool awaitWindowManager(const std::string& display) {
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

// xdotool on the test's display: the number on the first line of its output, 0 if none.
unsigned long xdotool(const std::string& display, const std::string& arguments) {
    const std::string command = "DISPLAY=" + display + " xdotool " + arguments + " 2>/dev/null";
    std::unique_ptr<FILE, decltype(&::pclose)> out(::popen(command.c_str(), "r"), ::pclose);
    char line[64] = {};
    return std::fgets(line, sizeof line, out.get()) ? std::strtoul(line, nullptr, 10) : 0;
}

// The visible xcalc window, within ten seconds. A window mapped while openbox is still starting up can
// stay unmapped; asking for it to be mapped again, every second, settles that.
std::optional<unsigned long> findXcalc(const std::string& display) {
    for (int attempt = 1; attempt <= 200; ++attempt, ::usleep(50'000)) {
        if (unsigned long window = xdotool(display, "search --limit 1 --onlyvisible --class xcalc"))
            return window;
        if (unsigned long hidden = attempt % 20 == 0 ? xdotool(display, "search --limit 1 --class xcalc") : 0)
            xdotool(display, "windowmap " + std::to_string(hidden));
    }
    return std::nullopt;
}

// xcalc sets no _NET_WM_PID: the server tells its process; a server that cannot (as for a client on another
// machine) leaves the window's class, lower case, once each. Focus changes between programs are followed
// end to end by the configurator's own test.
struct X11ForegroundByServer : HookEventsTest, ::testing::WithParamInterface<bool> {
    void SetUp() override {
        if (!haveProgram("openbox") || !haveProgram("xcalc") || !haveProgram("xdotool"))
            GTEST_SKIP() << "openbox, xcalc or xdotool is not installed";
        HookEventsTest::SetUp();
    }
};

TEST_P(X11ForegroundByServer, AWindowWithoutAProcessPropertyFindsItsProgram) {
    const bool resourceExtension = GetParam();
    TestXServer server(resourceExtension ? std::vector<std::string>{}
                                         : std::vector<std::string>{"-extension", "X-Resource"});
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    const std::vector<std::pair<std::string, std::string>> env{{"DISPLAY", server.display()}};
    ChildProcess wm({"openbox", "--sm-disable"}, env);
    ASSERT_TRUE(awaitWindowManager(server.display())) << "openbox did not start";
    auto session = KVX11Session::connect(loop, server.display());
    ASSERT_TRUE(session);
    session->start(dispatch);

    ChildProcess xcalc({"xcalc"}, env);
    auto window = findXcalc(server.display());
    ASSERT_TRUE(window) << "the xcalc window did not appear";
    ASSERT_EQ(std::system(("DISPLAY=" + server.display() + " xdotool windowactivate --sync " +
                           std::to_string(*window) + " >/dev/null 2>&1")
                              .c_str()),
              0)
        << "xdotool could not activate the window";
    ASSERT_TRUE(loop.runUntil([&] { return !activated.empty() && activated.back() == *window; }, 10s));
    const KVWindowOwner owner = session->windowOwner(*window);
    if (resourceExtension) {
        EXPECT_EQ(owner.pid, xcalc.pid);
        EXPECT_TRUE(owner.names.empty()) << "names only when the process is unknown";
    } else {
        EXPECT_EQ(owner.pid, std::nullopt);
        EXPECT_EQ(owner.names, std::vector<std::string>{"xcalc"});
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, X11ForegroundByServer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithXResource" : "WithoutXResource"; });

} // namespace
