// The configurator in an X session (Xvfb): layers follow the active application and XKB's Shift, and the
// virtual keyboard's files follow the layers. (Switching layouts is covered with the scripted hook: this
// Xvfb does not take a new keymap, so its XKB group cannot change.)

#include "device/KeyTables.h"
#include "support/ConfiguratorProcess.h"
#include "support/TestXClient.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

void writeDocument(const std::filesystem::path& path, const std::string& entries) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                        << entries << "\n</dict>\n</plist>\n";
}

// A profile with two layers of the user's: one for the program "sleep" in front, one for Shift; each
// makes a key send another code.
void writeProfile(const std::string& home) {
    const std::filesystem::path layers = home + "/config/TavirexCorvane/Layers";
    writeDocument(layers / "Group.plist", "<key>DisplayName</key><string>root</string><key>ItemOrder</"
                                          "key><array><string>user_layers</string></array>");
    writeDocument(layers / "user_layers/Group.plist",
                  "<key>DisplayName</key><string>Layers</string><key>Disabled</key><false/>"
                  "<key>ItemOrder</key><array><string>sleepy</string><string>shifty</string></array>");
    writeDocument(
        layers / "user_layers/sleepy/Layer.plist",
        "<key>DisplayName</key><string>While sleep is in front</string><key>Disabled</key><false/>"
        "<key>Conditions</key><dict><key>{00000000-0000-0000-0000-000000000001}</key><dict>"
        "<key>Type</key><string>application</string><key>PCApplicationID</key><string>sleep</string>"
        "<key>Predicate</key><string>is foreground</string></dict></dict>"
        "<key>Buttons</key><dict><key>F11</key><dict><key>ScanCode</key><string>30</string></dict></dict>");
    writeDocument(
        layers / "user_layers/shifty/Layer.plist",
        "<key>DisplayName</key><string>With Shift</string><key>Disabled</key><false/>"
        "<key>Conditions</key><dict><key>{00000000-0000-0000-0000-000000000002}</key><dict>"
        "<key>Type</key><string>modifier</string><key>Modifiers</key><string>s</string></dict></dict>"
        "<key>Buttons</key><dict><key>F12</key><dict><key>ScanCode</key><string>31</string></dict></dict>");
}

TEST(SessionEndToEnd, LayersFollowTheActiveProgramAndShift) {
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    TestXClient session(server.display());

    // The program whose window becomes active; ended with the test, however it ends.
    struct Sleeper {
        pid_t pid = ::fork();
        ~Sleeper() {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } sleeperProcess;
    const pid_t sleeper = sleeperProcess.pid;
    if (sleeper == 0) {
        ::execlp("sleep", "sleep", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const xcb_window_t sleepWindow = session.createWindow(uint32_t(sleeper));
    const xcb_window_t otherWindow = session.createWindow(uint32_t(::getpid()));
    session.activate(otherWindow);

    const std::string home = privateFolder();
    const std::string keyboard = home + "/keyboard";
    writeProfile(home);
    ASSERT_EQ(runKeyboardTool("init " + keyboard), 0);
    const std::string table = keyboard + "/vTavirex/scancode.sys";
    char escapeName[32];
    std::snprintf(escapeName, sizeof escapeName, "/vTavirex/dynamic/%03u.sys",
                  unsigned(corvane::device::modelDescriptor(KeyboardModelMain)
                               .keys[*corvane::device::findKeyByName(KeyboardModelMain, "Escape")]
                               .display));
    const std::string escapeFile = keyboard + escapeName;

    ConfiguratorProcess process = startConfigurator(
        {"--headless", "-minimized", "--virtual-keyboard", keyboard}, home, {{"DISPLAY", server.display()}});
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
    ASSERT_TRUE(waitUntil([&] { return readFile(escapeFile).size() == 48 * 48 * 2; }, 10s)) << process.log;
    // Let the start-up writes settle before taking the reference state.
    std::this_thread::sleep_for(300ms);
    const std::string baseTable = readFile(table);

    session.activate(sleepWindow);
    EXPECT_TRUE(waitUntil([&] { return readFile(table) != baseTable; }, 10s))
        << "the layer for sleep did not come on\n"
        << process.log;
    session.activate(otherWindow);
    EXPECT_TRUE(waitUntil([&] { return readFile(table) == baseTable; }, 10s))
        << "the layer for sleep did not go off\n"
        << process.log;

    ASSERT_TRUE(TestXClient::typeKey(server.display(), "keydown", "Shift_L"));
    EXPECT_TRUE(waitUntil([&] { return readFile(table) != baseTable; }, 10s))
        << "the Shift layer did not follow XKB\n"
        << process.log;
    ASSERT_TRUE(TestXClient::typeKey(server.display(), "keyup", "Shift_L"));
    EXPECT_TRUE(waitUntil([&] { return readFile(table) == baseTable; }, 10s)) << process.log;

    ::kill(process.pid, SIGTERM);
    EXPECT_EQ(process.wait(), 0) << process.log;
    std::filesystem::remove_all(home);
}

} // namespace
