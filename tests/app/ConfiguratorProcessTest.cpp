// Runs the real configurator as a user would, headless, and ends it the way the session does.

#include "EndToEnd.h"

#include <filesystem>
#include <fstream>
#include <map>

using namespace std::chrono_literals;

namespace {

class TerminationSignal : public ::testing::TestWithParam<int> {};

// Started without a display, as these tests are: it runs headless and says so.
TEST_P(TerminationSignal, EndsTheProgramThroughTheOrderlyShutdown) {
    ConfiguratorProcess process = startConfigurator({"-minimized"}, privateFolder());
    ASSERT_TRUE(process.waitFor("configurator running", 20s)) << process.log;
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
    ASSERT_TRUE(first.waitFor("configurator running", 20s)) << first.log;
    ConfiguratorProcess second = startConfigurator({"--headless", "/tmp/Some.LAYERS"}, home);
    EXPECT_EQ(second.wait(), 0) << second.log;
    EXPECT_TRUE(first.waitFor("\"/tmp/Some.LAYERS\" was not opened", 20s)) << first.log;

    ConfiguratorProcess restarted = startConfigurator({"--headless", "-minimized", "-RESTART"}, home);
    EXPECT_EQ(first.wait(), 0) << first.log;
    EXPECT_TRUE(restarted.waitFor("configurator running", 20s)) << restarted.log;
    stopOrderly(restarted);
}

// A layers file opened while an instance runs is imported there, whoever made the archive.
TEST(ConfiguratorProcess, ALayersFileGivenToASecondStartIsImportedByTheFirst) {
    const std::string home = privateFolder();
    std::filesystem::create_directories(home + "/made/item");
    std::ofstream(home + "/made/item/Layer.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>DisplayName</key><string>Made by hand</string><key>Buttons</key><string/></dict></plist>\n";
    const std::string archive = home + "/Handmade.layers";
    if (std::system(("cd '" + home + "/made' && zip -qr '" + archive + "' item").c_str()) != 0)
        GTEST_SKIP() << "no zip program";

    ConfiguratorProcess first = startConfigurator({"--headless", "-minimized"}, home);
    ASSERT_TRUE(first.waitFor("configurator running", 20s)) << first.log;
    ConfiguratorProcess second = startConfigurator({"--headless", archive}, home);
    EXPECT_EQ(second.wait(), 0) << second.log;
    EXPECT_TRUE(first.waitFor("was imported as \"Made by hand\"", 20s)) << first.log;
    stopOrderly(first);
}

TEST(ConfiguratorProcess, BadOptionsAreRefused) {
    ConfiguratorProcess process = startConfigurator({"--no-such-option"}, privateFolder());
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.log.find("unknown option --no-such-option"), std::string::npos) << process.log;
}

// The whole road: layers with the layout's captions, the keyboard's files, a key held on the keyboard
// switching the captions, and an orderly end.
TEST(ConfiguratorProcess, DrivesTheVirtualKeyboardFromStartToExit) {
    KeyboardHome rig;
    ASSERT_TRUE(rig.init());
    ConfiguratorProcess process = rig.start({{"CORVANE_XKB_LAYOUTS", "us"}});
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
    ASSERT_TRUE(waitUntil([&] { return rig.display("Q").size() == 48 * 48 * 2; }, 10s))
        << "no picture for Q\n"
        << process.log;
    const std::string lowerQ = rig.display("Q");

    ASSERT_EQ(runKeyboardTool("press " + rig.keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return rig.display("Q") != lowerQ; }, 10s))
        << "Shift on the keyboard did not change Q's picture\n"
        << process.log;
    ASSERT_EQ(runKeyboardTool("release " + rig.keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return rig.display("Q") == lowerQ; }, 10s))
        << "Q's picture did not come back byte for byte\n"
        << process.log;

    stopOrderly(process);
    EXPECT_NE(process.log.find("shut down"), std::string::npos);
}

// Without X the first installed layout labels the keys: "de" swaps the captions of Y and Z.
TEST(ConfiguratorProcess, TheFirstInstalledLayoutLabelsTheKeys) {
    std::map<std::string, std::pair<std::string, std::string>> captions; // layouts -> (Y, Z)
    for (const std::string layouts : {"us", "de,us"}) {
        KeyboardHome rig;
        ASSERT_TRUE(rig.init());
        ConfiguratorProcess process = rig.start({{"CORVANE_XKB_LAYOUTS", layouts}});
        ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;
        ASSERT_TRUE(waitUntil([&] { return rig.display("Z").size() == 48 * 48 * 2; }, 10s));
        captions[layouts] = {rig.display("Y"), rig.display("Z")};
        stopOrderly(process);
    }
    EXPECT_TRUE(captions["us"].first == captions["de,us"].second) << "German Z should show the y of US Y";
    EXPECT_TRUE(captions["us"].second == captions["de,us"].first) << "German Y should show the z of US Z";
    EXPECT_FALSE(captions["us"].first == captions["us"].second);
}

} // namespace
