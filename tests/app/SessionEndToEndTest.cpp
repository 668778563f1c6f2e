// The configurator in an X session (Xvfb): layers follow the active application and XKB's Shift, and the
// virtual keyboard's files follow the layers. (Switching layouts is covered with the scripted hook: this
// Xvfb does not take a new keymap, so its XKB group cannot change.)

#include "EndToEnd.h"
#include "support/ForegroundProfile.h"
#include "support/TestXClient.h"
#include "support/Xvfb.h"

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A profile with two layers of the user's: one for the program "sleep" in front (F11 sends 30), one for
// Shift (F12 sends 31).
void writeProfile(const std::string& home) {
    foreground_profile::writeProfile(home, "sleep", "none");
    foreground_profile::writeDocument(
        home + "/config/TavirexCorvane/Layers/user_layers/second/Layer.plist",
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

    KeyboardHome rig;
    const std::string& table = rig.table;
    writeProfile(rig.home);
    ASSERT_TRUE(rig.init());
    ConfiguratorProcess process = rig.start({{"DISPLAY", server.display()}});
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
    ASSERT_TRUE(waitUntil([&] { return rig.display("Escape").size() == 48 * 48 * 2; }, 10s)) << process.log;
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

    stopOrderly(process);
}

} // namespace
