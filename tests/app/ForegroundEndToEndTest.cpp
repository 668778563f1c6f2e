// The configurator under a real window manager (openbox on Xvfb) and under sway: a layer for a program
// without _NET_WM_PID (xcalc) or for a Wayland client (foot) and one for a Qt window follow focus
// changes made by the window manager, and on sway a layout switch changes the key captions. Sway also
// stands in for the wlroots compositors that only offer the foreign-toplevel protocol.

#include "EndToEnd.h"
#include "device/KeyCodeTable.h"
#include "support/ChildProcess.h"
#include "support/ForegroundProfile.h"
#include "support/SwaySession.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Whether the key-code table makes `key` send `code` as its own.
bool keySends(const std::string& table, const char* key, uint8_t code) {
    const unsigned slot = corvane::device::modelDescriptor(KeyboardModelMain)
                              .keys[*corvane::device::findKeyByName(KeyboardModelMain, key)]
                              .slot;
    const size_t record = (slot - 1) * corvane::device::kRecordSize;
    return table.size() >= record + 2 &&
           uint8_t(table[record]) == uint8_t(corvane::device::RecordOp::SendKey) &&
           uint8_t(table[record + 1]) == code;
}

// The configurator on a virtual keyboard with the two-layer profile; the key-code table's three states.
struct Rig : KeyboardHome {
    std::optional<ConfiguratorProcess> running;

    Rig(const std::string& first, const std::string& second,
        const std::vector<std::pair<std::string, std::string>>& environment) {
        foreground_profile::writeProfile(home, first, second);
        EXPECT_TRUE(init());
        running.emplace(start(environment));
    }
    bool started() {
        if (!running->waitFor("configurator running", 30s))
            return false;
        // Let the start-up writes settle before the first reference state is taken.
        std::this_thread::sleep_for(500ms);
        return true;
    }
    // The key-code table once it has stayed the same for a second (late focus events have landed).
    std::string settledTable() {
        std::string last = readFile(table);
        auto stableSince = std::chrono::steady_clock::now();
        waitUntil(
            [&] {
                std::string now = readFile(table);
                if (now != last) {
                    last = std::move(now);
                    stableSince = std::chrono::steady_clock::now();
                }
                return std::chrono::steady_clock::now() - stableSince >= 1s;
            },
            10s);
        return last;
    }
    // The key-code table once it has settled on something other than `before`.
    std::string awaitTableChange(const std::string& before) {
        waitUntil([&] { return readFile(table) != before; }, 10s);
        return settledTable();
    }
    // The focus goes to the Qt window and back to the `first` program, whose layer gave `firstTable`: the Qt
    // layer replaces it, then it comes back byte for byte. Answers the table with the Qt window in front.
    std::string expectRoundTrip(const char* first, const std::string& firstTable,
                                const std::function<bool()>& focusQt,
                                const std::function<bool()>& focusFirst) {
        EXPECT_TRUE(focusQt());
        const std::string qtTable = awaitTableChange(firstTable);
        EXPECT_TRUE(qtTable != firstTable) << "the Qt layer did not replace " << first << "\n"
                                           << running->log;
        EXPECT_TRUE(focusFirst());
        EXPECT_TRUE(awaitTableChange(qtTable) == firstTable) << first << " did not come back\n"
                                                             << running->log;
        return qtTable;
    }
};

// xdotool on `display`: the first line it printed, empty if none.
std::string xdotool(const std::string& display, const std::string& arguments) {
    const std::string command = "DISPLAY=" + display + " xdotool " + arguments + " 2>/dev/null";
    std::unique_ptr<FILE, decltype(&::pclose)> out(::popen(command.c_str(), "r"), ::pclose);
    char line[64] = {};
    return std::fgets(line, sizeof line, out.get()) ? std::string(line, std::strcspn(line, "\n")) : "";
}

bool swayFocus(const TestSway& sway, const std::string& appId) {
    return sway.command("'[app_id=" + appId + "] focus'");
}

// foot, going by `appId`, and the Qt test window on sway, foot in front; nothing if they did not appear.
std::optional<std::pair<std::unique_ptr<ChildProcess>, std::unique_ptr<ChildProcess>>>
startFootAndQt(const TestSway& sway, const std::string& appId) {
    auto foot = sway.startClient({"foot", "--app-id=" + appId, "sleep", "60"});
    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    if (!waitUntil([&] { return swayFocus(sway, "corvane-test-window") && swayFocus(sway, appId); }, 10s))
        return std::nullopt;
    return std::pair(std::move(foot), std::move(qt));
}

TEST(ForegroundEndToEnd, X11LayersFollowTheWindowManagersFocusForXcalcAndQt) {
    if (!haveProgram("openbox") || !haveProgram("xcalc") || !haveProgram("xdotool"))
        GTEST_SKIP() << "openbox, xcalc or xdotool is not installed";
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    const std::vector<std::pair<std::string, std::string>> env{{"DISPLAY", server.display()}};
    ChildProcess wm({"openbox", "--sm-disable"}, env);
    std::this_thread::sleep_for(500ms);
    ChildProcess xcalc({"xcalc"}, env);
    ChildProcess qt({CORVANE_BIN_DIR "/corvane-test-window", "qt"},
                    {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}});
    // The first window that xdotool finds with `query`, within ten seconds.
    auto windowOf = [&](const std::string& query) {
        std::string id;
        waitUntil([&] { return !(id = xdotool(server.display(), "search --limit 1 " + query)).empty(); },
                  10s);
        return id;
    };
    std::string calcWindow = windowOf("--onlyvisible --class xcalc");
    if (calcWindow.empty()) {
        // Mapped while openbox was still starting up, it can stay hidden: ask for it to be mapped again.
        xdotool(server.display(), "windowmap " + windowOf("--class xcalc"));
        calcWindow = windowOf("--onlyvisible --class xcalc");
    }
    const std::string qtWindow = windowOf("--onlyvisible --name '^qt$'");
    ASSERT_FALSE(calcWindow.empty() || qtWindow.empty()) << "the windows did not appear";
    auto focus = [&](const std::string& window) {
        return std::system(("DISPLAY=" + server.display() + " xdotool windowactivate --sync " + window +
                            " >/dev/null 2>&1")
                               .c_str()) == 0;
    };

    // Openbox may pass over the first request for a window that has never had the focus.
    ASSERT_TRUE(waitUntil([&] { return focus(qtWindow) && focus(calcWindow); }, 10s));

    Rig rig("xcalc", "corvane-test-window", env);
    ASSERT_TRUE(rig.started()) << rig.running->log;
    // Either window may be in front when the configurator starts: the xcalc layer is known once the
    // table has settled after focusing it.
    ASSERT_TRUE(focus(calcWindow));
    rig.expectRoundTrip(
        "the xcalc layer", rig.settledTable(), [&] { return focus(qtWindow); },
        [&] { return focus(calcWindow); });
}

TEST(ForegroundEndToEnd, SwayLayersFollowFocusAndCaptionsFollowTheLayout) {
    if (!haveProgram("foot"))
        GTEST_SKIP() << "foot is not installed";
    TestSway sway("us,de");
    if (!sway.running())
        GTEST_SKIP() << sway.failure();
    const auto clients = startFootAndQt(sway, "foot");
    ASSERT_TRUE(clients) << "the windows did not appear";

    Rig rig("foot", "corvane-test-window",
            {{"WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay()},
             {"SWAYSOCK", sway.ipcSocket()}});
    ASSERT_TRUE(rig.started()) << rig.running->log;
    EXPECT_NE(rig.running->log.find("through sway IPC"), std::string::npos) << rig.running->log;
    // foot was in front before the configurator started.
    rig.expectRoundTrip(
        "the foot layer", readFile(rig.table), [&] { return swayFocus(sway, "corvane-test-window"); },
        [&] { return swayFocus(sway, "foot"); });

    // "Y" and "Z" trade places between the American and the German layout.
    const std::string yCaption = rig.display("Y");
    ASSERT_TRUE(sway.command("input type:keyboard xkb_switch_layout 1"));
    EXPECT_TRUE(waitUntil([&] { return rig.display("Z") == yCaption; }, 10s))
        << "the captions did not follow the layout\n"
        << rig.running->log;
}

TEST(ForegroundEndToEnd, WlrootsLayersFollowTheActivatedAppIdThroughItsDesktopEntry) {
    if (!haveProgram("foot"))
        GTEST_SKIP() << "foot is not installed";
    TestSway sway("us");
    if (!sway.running())
        GTEST_SKIP() << sway.failure();
    // The terminal goes by an app id of its own; its desktop entry tells that it is foot.
    TempDir data;
    data.write("applications/org.example.Terminal.desktop",
               "[Desktop Entry]\nType=Application\nName=Example Terminal\nExec=foot %U\n");
    const auto clients = startFootAndQt(sway, "org.example.Terminal");
    ASSERT_TRUE(clients) << "the windows did not appear";

    Rig rig("foot", "corvane-test-window",
            {{"WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay()},
             {"CORVANE_FOREGROUND_SOURCE", "foreign-toplevel"},
             {"XDG_DATA_HOME", data.path().string()},
             {"XDG_DATA_DIRS", "/nonexistent"}});
    ASSERT_TRUE(rig.started()) << rig.running->log;
    EXPECT_NE(rig.running->log.find("through the wlroots foreign-toplevel protocol"), std::string::npos)
        << rig.running->log;
    const std::string footTable = readFile(rig.table);
    EXPECT_TRUE(keySends(footTable, "F11", 30)) << "the app id did not lead to foot's layer\n"
                                                << rig.running->log;
    const std::string qtTable = rig.expectRoundTrip(
        "the foot layer", footTable, [&] { return swayFocus(sway, "corvane-test-window"); },
        [&] { return swayFocus(sway, "org.example.Terminal"); });
    EXPECT_TRUE(keySends(qtTable, "F12", 31) && !keySends(qtTable, "F11", 30)) << rig.running->log;
}

} // namespace
