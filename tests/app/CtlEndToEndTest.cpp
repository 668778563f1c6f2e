// corvane-ctl as a script uses it: against a running configurator on a virtual keyboard, and against
// the stored profile when none runs.

#include "EndToEnd.h"

#include <nlohmann/json.hpp>

using namespace std::chrono_literals;

namespace {

TEST(CtlEndToEnd, WithoutAConfiguratorTheProfileIsChangedAndSaved) {
    KeyboardHome rig;
    const std::string& home = rig.home;
    std::filesystem::create_directories(home + "/run");
    const auto listed = runCtl(home, "--json list");
    ASSERT_EQ(listed.status, 0) << listed.out;
    const auto tree = nlohmann::json::parse(listed.out, nullptr, false);
    ASSERT_TRUE(tree.is_object()) << listed.out;
    EXPECT_EQ(tree["items"][0]["id"], "user_layers") << listed.out;

    const auto disabled = runCtl(home, "disable default_buttons");
    ASSERT_EQ(disabled.status, 0) << disabled.err;
    EXPECT_NE(readFile(home + "/config/TavirexCorvane/Layers/user_layers/default_buttons/Layer.plist")
                  .find("<key>Disabled</key>"),
              std::string::npos);
    EXPECT_NE(runCtl(home, "list").out.find("disabled"), std::string::npos);

    const auto unknown = runCtl(home, "enable Nothing");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("Nothing"), std::string::npos) << unknown.err;
    EXPECT_EQ(runCtl(home, "enable").status, 2);
    EXPECT_EQ(runCtl(home, "fly").status, 2);
}

TEST(CtlEndToEnd, ARunningConfiguratorAnswersAndTheKeyboardFollows) {
    KeyboardHome rig;
    const std::string& home = rig.home;
    ASSERT_TRUE(rig.init());
    ConfiguratorProcess process = rig.start();
    ASSERT_TRUE(process.waitFor("configurator running", 20s)) << process.log;

    const auto status = runCtl(home, "status");
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("keyboard: connected"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("default_buttons"), std::string::npos) << status.out;

    const auto disabled = runCtl(home, "disable default_buttons");
    ASSERT_EQ(disabled.status, 0) << disabled.err << process.log;
    EXPECT_EQ(runCtl(home, "status").out.find("default_buttons"), std::string::npos);
    // The running program saved the change at once.
    EXPECT_NE(readFile(home + "/config/TavirexCorvane/Layers/user_layers/default_buttons/Layer.plist")
                  .find("<key>Disabled</key>"),
              std::string::npos);
    stopOrderly(process);
}

TEST(CtlEndToEnd, AnArchiveImportedIntoTheRunningConfiguratorShowsOnTheKeyboard) {
    KeyboardHome rig;
    const std::string& home = rig.home;
    std::filesystem::create_directories(home + "/run");
    // A layer cut from a picture of the whole keyboard, exported while no configurator runs.
    const std::string drawing = std::string(CORVANE_BIN_DIR) + "/../share/corvane/keyboard.png";
    const auto cut = runCtl(home, "import-picture '" + drawing + "' --name Drawn");
    ASSERT_EQ(cut.status, 0) << cut.err;
    const auto exported = runCtl(home, "export Drawn '" + home + "/drawn.layers'");
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_EQ(runCtl(home, "delete Drawn").status, 0);

    ASSERT_TRUE(rig.init());
    ConfiguratorProcess process = rig.start();
    ASSERT_TRUE(process.waitFor("configurator running", 20s)) << process.log;
    const auto displays = [&] {
        std::string all;
        for (const auto& entry : std::filesystem::directory_iterator(rig.keyboard + "/vTavirex/dynamic"))
            all += readFile(entry.path());
        return all;
    };
    ASSERT_TRUE(waitUntil([&] { return !displays().empty(); }, 10s));
    const std::string before = displays();

    const auto imported = runCtl(home, "import '" + home + "/drawn.layers'");
    ASSERT_EQ(imported.status, 0) << imported.err << process.log;
    EXPECT_TRUE(waitUntil([&] { return displays() != before; }, 10s))
        << "the imported layer's pictures did not reach the keyboard";
    const auto listed = nlohmann::json::parse(runCtl(home, "--json list").out, nullptr, false);
    ASSERT_TRUE(listed.is_object());
    EXPECT_EQ(listed["items"][0]["children"][0]["name"], "Drawn");
    EXPECT_TRUE(listed["items"][0]["children"][0]["active"].get<bool>());

    // Requests that need the keyboard are answered by the running configurator only.
    const auto dumped = runCtl(home, "dump '" + home + "/dump'");
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_TRUE(std::filesystem::exists(home + "/dump"));

    stopOrderly(process);
    EXPECT_EQ(runCtl(home, "dump '" + home + "/dump2'").status, 1);
}

} // namespace
