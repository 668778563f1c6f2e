// Runs the real configurator as a user would, headless, and ends it the way the session does.

#include "support/ConfiguratorProcess.h"

#include "device/KeyTables.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class TerminationSignal : public ::testing::TestWithParam<int> {};

// Started without a display, as these tests are: it runs headless and says so.
TEST_P(TerminationSignal, EndsTheProgramThroughTheOrderlyShutdown) {
    ConfiguratorProcess process = startConfigurator({"-minimized"}, privateFolder());
    ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(20))) << process.log;
    EXPECT_NE(process.log.find("running headless"), std::string::npos) << process.log;
    ::kill(process.pid, GetParam());
    EXPECT_EQ(process.wait(), 0) << process.log;
    const auto shuttingDown = process.log.find("shutting down");
    ASSERT_NE(shuttingDown, std::string::npos) << process.log;
    EXPECT_NE(process.log.find("shut down", shuttingDown + 1), std::string::npos) << process.log;
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(ConfiguratorProcess, ASecondStartHandsOverAndEnds) {
    const std::string home = privateFolder();
    ConfiguratorProcess first = startConfigurator({"--headless", "-minimized"}, home);
    ASSERT_TRUE(first.waitFor("configurator running", std::chrono::seconds(20))) << first.log;
    ConfiguratorProcess second = startConfigurator({"--headless", "/tmp/Some.LAYERS"}, home);
    EXPECT_EQ(second.wait(), 0) << second.log;
    EXPECT_TRUE(first.waitFor("importing archives is not available yet", std::chrono::seconds(20)))
        << first.log;
    EXPECT_NE(first.log.find("/tmp/Some.LAYERS"), std::string::npos);

    ConfiguratorProcess restarted = startConfigurator({"--headless", "-minimized", "-RESTART"}, home);
    EXPECT_EQ(first.wait(), 0) << first.log;
    EXPECT_TRUE(restarted.waitFor("configurator running", std::chrono::seconds(20))) << restarted.log;
    ::kill(restarted.pid, SIGTERM);
    EXPECT_EQ(restarted.wait(), 0) << restarted.log;
}

TEST(ConfiguratorProcess, BadOptionsAreRefused) {
    ConfiguratorProcess process = startConfigurator({"--no-such-option"}, privateFolder());
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.log.find("unknown option --no-such-option"), std::string::npos) << process.log;
}

} // namespace

namespace {

// The whole road: layers with the layout's captions, the keyboard's files, a key held on the keyboard
// switching the captions, and an orderly end.
TEST(ConfiguratorProcess, DrivesTheVirtualKeyboardFromStartToExit) {
    const std::string home = privateFolder();
    const std::string keyboard = home + "/keyboard";
    ASSERT_EQ(runKeyboardTool("init " + keyboard), 0);
    const auto& model = corvane::device::modelDescriptor(KeyboardModelMain);
    const auto q = corvane::device::findKeyByName(KeyboardModelMain, "Q");
    ASSERT_TRUE(q);
    char name[32];
    std::snprintf(name, sizeof name, "/vTavirex/dynamic/%03u.sys", unsigned(model.keys[*q].display));
    const std::string qFile = keyboard + name;

    ConfiguratorProcess process = startConfigurator(
        {"--headless", "-minimized", "--virtual-keyboard", keyboard}, home, {{"CORVANE_XKB_LAYOUTS", "us"}});
    ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(30))) << process.log;
    ASSERT_TRUE(waitUntil([&] { return readFile(qFile).size() == 48 * 48 * 2; }, std::chrono::seconds(10)))
        << "no picture for Q\n"
        << process.log;
    const std::string lowerQ = readFile(qFile);

    ASSERT_EQ(runKeyboardTool("press " + keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return readFile(qFile) != lowerQ; }, std::chrono::seconds(10)))
        << "Shift on the keyboard did not change Q's picture\n"
        << process.log;
    ASSERT_EQ(runKeyboardTool("release " + keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return readFile(qFile) == lowerQ; }, std::chrono::seconds(10)))
        << "Q's picture did not come back byte for byte\n"
        << process.log;

    ::kill(process.pid, SIGTERM);
    EXPECT_EQ(process.wait(), 0) << process.log;
    EXPECT_NE(process.log.find("shut down"), std::string::npos);
    std::filesystem::remove_all(home);
}

} // namespace

namespace {

// Without X the first installed layout labels the keys: "de" swaps the captions of Y and Z.
TEST(ConfiguratorProcess, TheFirstInstalledLayoutLabelsTheKeys) {
    const auto& model = corvane::device::modelDescriptor(KeyboardModelMain);
    auto displayFile = [&](const std::string& keyboard, const char* key) {
        char name[32];
        std::snprintf(name, sizeof name, "/vTavirex/dynamic/%03u.sys",
                      unsigned(model.keys[*corvane::device::findKeyByName(KeyboardModelMain, key)].display));
        return keyboard + name;
    };
    std::map<std::string, std::pair<std::string, std::string>> captions; // layouts -> (Y, Z)
    for (const std::string layouts : {"us", "de,us"}) {
        const std::string home = privateFolder();
        const std::string keyboard = home + "/keyboard";
        ASSERT_EQ(runKeyboardTool("init " + keyboard), 0);
        ConfiguratorProcess process =
            startConfigurator({"--headless", "-minimized", "--virtual-keyboard", keyboard}, home,
                              {{"CORVANE_XKB_LAYOUTS", layouts}});
        ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(30))) << process.log;
        ASSERT_TRUE(waitUntil([&] { return readFile(displayFile(keyboard, "Z")).size() == 48 * 48 * 2; },
                              std::chrono::seconds(10)));
        captions[layouts] = {readFile(displayFile(keyboard, "Y")), readFile(displayFile(keyboard, "Z"))};
        ::kill(process.pid, SIGTERM);
        EXPECT_EQ(process.wait(), 0) << process.log;
        std::filesystem::remove_all(home);
    }
    EXPECT_TRUE(captions["us"].first == captions["de,us"].second) << "German Z should show the y of US Y";
    EXPECT_TRUE(captions["us"].second == captions["de,us"].first) << "German Y should show the z of US Z";
    EXPECT_FALSE(captions["us"].first == captions["us"].second);
}

} // namespace
