// The configurator under a real window manager (openbox on Xvfb) and under sway: a layer for a program
// without _NET_WM_PID (xcalc) or for a Wayland client (foot) and one for a Qt window follow focus
// changes made by the window manager, and on sway a layout switch changes the key captions. Sway also
// stands in for the wlroots compositors that only offer the foreign-toplevel protocol.

#include "device/KeyCodeTable.h"
#include "device/KeyTables.h"
#include "support/ChildProcess.h"
#include "support/ConfiguratorProcess.h"
#include "support/ForegroundProfile.h"
#include "support/SwaySession.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string displayFile(const std::string& keyboard, const char* key) {
    char name[32];
    std::snprintf(name, sizeof name, "/vTavirex/dynamic/%03u.sys",
                  unsigned(corvane::device::modelDescriptor(KeyboardModelMain)
                               .keys[*corvane::device::findKeyByName(KeyboardModelMain, key)]
                               .display));
    return keyboard + name;
}

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

bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// The configurator on a virtual keyboard with the two-layer profile; the key-code table's three states.
struct Rig {
    std::string home = privateFolder();
    std::string keyboard = home + "/keyboard";
    std::string table = keyboard + "/vTavirex/scancode.sys";
    std::optional<ConfiguratorProcess> running;

    Rig(const std::string& first, const std::string& second,
        const std::vector<std::pair<std::string, std::string>>& environment) {
        foreground_profile::writeProfile(home, first, second);
        EXPECT_EQ(runKeyboardTool("init " + keyboard), 0);
        running.emplace(startConfigurator({"--headless", "-minimized", "--virtual-keyboard", keyboard}, home,
                                          environment));
    }
    ~Rig() {
        if (running->pid > 0) {
            ::kill(running->pid, SIGTERM);
            running->wait();
        }
        std::filesystem::remove_all(home);
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
};

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
    auto windowOf = [&](const char* what) {
        std::string id;
        waitUntil(
            [&] {
                const std::string command =
                    "DISPLAY=" + server.display() + " xdotool search --limit 1 " + what;
                std::unique_ptr<FILE, decltype(&::pclose)> out(::popen(command.c_str(), "r"), ::pclose);
                char line[64] = {};
                id = std::fgets(line, sizeof line, out.get()) ? std::string(line) : std::string();
                return !id.empty();
            },
            10s);
        return id.substr(0, id.find('\n'));
    };
    std::string calcWindow = windowOf("--onlyvisible --class xcalc");
    if (calcWindow.empty()) {
        // Mapped while openbox was still starting up, it can stay hidden: ask for it to be mapped again.
        const std::string hidden = windowOf("--class xcalc");
        std::system(
            ("DISPLAY=" + server.display() + " xdotool windowmap " + hidden + " >/dev/null 2>&1").c_str());
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
    const std::string calcTable = rig.settledTable();
    ASSERT_TRUE(focus(qtWindow));
    const std::string qtTable = rig.awaitTableChange(calcTable);
    EXPECT_TRUE(calcTable != qtTable) << "the Qt layer did not replace the xcalc layer\n" << rig.running->log;
    ASSERT_TRUE(focus(calcWindow));
    EXPECT_TRUE(rig.awaitTableChange(qtTable) == calcTable) << "the xcalc layer did not come back\n"
                                                            << rig.running->log;
}

TEST(ForegroundEndToEnd, SwayLayersFollowFocusAndCaptionsFollowTheLayout) {
    if (!haveProgram("foot"))
        GTEST_SKIP() << "foot is not installed";
    TestSway sway("us,de");
    if (!sway.running())
        GTEST_SKIP() << sway.failure();
    auto foot = sway.startClient({"foot", "sleep", "60"});
    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(waitUntil(
        [&] {
            return sway.command("'[app_id=corvane-test-window] focus'") &&
                   sway.command("'[app_id=foot] focus'");
        },
        10s))
        << "the windows did not appear";

    Rig rig("foot", "corvane-test-window",
            {{"WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay()},
             {"SWAYSOCK", sway.ipcSocket()}});
    ASSERT_TRUE(rig.started()) << rig.running->log;
    EXPECT_NE(rig.running->log.find("through sway IPC"), std::string::npos) << rig.running->log;
    // foot was in front before the configurator started.
    const std::string footTable = readFile(rig.table);
    ASSERT_TRUE(sway.command("'[app_id=corvane-test-window] focus'"));
    const std::string qtTable = rig.awaitTableChange(footTable);
    EXPECT_TRUE(qtTable != footTable) << "the Qt layer did not replace the foot layer\n" << rig.running->log;
    ASSERT_TRUE(sway.command("'[app_id=foot] focus'"));
    EXPECT_TRUE(rig.awaitTableChange(qtTable) == footTable) << "the foot layer did not come back\n"
                                                            << rig.running->log;

    // "Y" and "Z" trade places between the American and the German layout.
    const std::string yCaption = readFile(displayFile(rig.keyboard, "Y"));
    ASSERT_TRUE(sway.command("input type:keyboard xkb_switch_layout 1"));
    EXPECT_TRUE(waitUntil([&] { return readFile(displayFile(rig.keyboard, "Z")) == yCaption; }, 10s))
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
    const std::string data = privateFolder();
    std::filesystem::create_directories(data + "/applications");
    std::ofstream(data + "/applications/org.example.Terminal.desktop")
        << "[Desktop Entry]\nType=Application\nName=Example Terminal\nExec=foot %U\n";
    auto foot = sway.startClient({"foot", "--app-id=org.example.Terminal", "sleep", "60"});
    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    ASSERT_TRUE(waitUntil(
        [&] {
            return sway.command("'[app_id=corvane-test-window] focus'") &&
                   sway.command("'[app_id=org.example.Terminal] focus'");
        },
        10s))
        << "the windows did not appear";

    Rig rig("foot", "corvane-test-window",
            {{"WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay()},
             {"CORVANE_FOREGROUND_SOURCE", "foreign-toplevel"},
             {"XDG_DATA_HOME", data},
             {"XDG_DATA_DIRS", "/nonexistent"}});
    ASSERT_TRUE(rig.started()) << rig.running->log;
    EXPECT_NE(rig.running->log.find("through the wlroots foreign-toplevel protocol"), std::string::npos)
        << rig.running->log;
    const std::string footTable = readFile(rig.table);
    EXPECT_TRUE(keySends(footTable, "F11", 30)) << "the app id did not lead to foot's layer\n"
                                                << rig.running->log;
    ASSERT_TRUE(sway.command("'[app_id=corvane-test-window] focus'"));
    const std::string qtTable = rig.awaitTableChange(footTable);
    EXPECT_TRUE(keySends(qtTable, "F12", 31) && !keySends(qtTable, "F11", 30))
        << "the Qt layer did not replace the foot layer\n"
        << rig.running->log;
    ASSERT_TRUE(sway.command("'[app_id=org.example.Terminal] focus'"));
    EXPECT_TRUE(rig.awaitTableChange(qtTable) == footTable) << "the foot layer did not come back\n"
                                                            << rig.running->log;
    std::filesystem::remove_all(data);
}

} // namespace
