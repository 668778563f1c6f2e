// The headless program with plug-ins a user installed: views drawing keys from their own threads, a
// plug-in condition deciding which layers show, and a crashing plug-in that only loses its own key.

#include "EndToEnd.h"
#include "support/ForegroundProfile.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <thread>

using namespace std::chrono_literals;

namespace {

using foreground_profile::writeDocument;

std::string viewBinding(const std::string& key, const std::string& plugin, const std::string& sub) {
    return fmt::format("<key>{}</key><dict><key>ViewPlugin</key><dict><key>PluginID</key><string>{}</string>"
                       "<key>SubPluginID</key><string>{}</string></dict></dict>",
                       key, plugin, sub);
}

// A picture on `key` of the layer in `folder`: a shipped picture copied beside its document.
std::string picture(const std::filesystem::path& folder, const std::string& key) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(std::string(CORVANE_BIN_DIR) + "/../lib/corvane/default_buttons/L4.png",
                               folder / (key + ".png"), std::filesystem::copy_options::overwrite_existing);
    return fmt::format("<key>{}</key><dict/>", key);
}

// A group holding one layer that binds `key`, shown while the time of day lies in [from, to).
void writeTimedGroup(const std::filesystem::path& layers, const std::string& id, const std::string& from,
                     const std::string& to, const std::string& key) {
    writeDocument(
        layers / id / "Group.plist",
        fmt::format("<key>ItemOrder</key><array><string>{0}_layer</string></array>"
                    "<key>DisplayName</key><string>{0}</string>"
                    "<key>Conditions</key><dict><key>{{00000000-0000-0000-0000-000000000001}}</key><dict>"
                    "<key>Type</key><string>plugin</string>"
                    "<key>PluginID</key><string>TimeOfDay</string>"
                    "<key>SubPluginID</key><string>Between</string>"
                    "<key>PluginProperties</key><dict><key>From</key><string>{1}</string>"
                    "<key>To</key><string>{2}</string></dict></dict></dict>",
                    id, from, to));
    const auto layer = layers / id / (id + "_layer");
    writeDocument(layer / "Layer.plist",
                  "<key>DisplayName</key><string>timed</string><key>Buttons</key><dict>" +
                      picture(layer, key) + "</dict>");
}

std::string hoursFromNow(int hours) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return fmt::format("{:02}:{:02}", (local.tm_hour + hours + 24) % 24, local.tm_min);
}

bool nonBlack(const std::string& display) {
    return display.size() == 48 * 48 * 2 &&
           std::any_of(display.begin(), display.end(), [](char c) { return c != 0; });
}

TEST(PluginEndToEnd, ViewsDrawConditionsDecideAndACrashLosesOnlyItsKey) {
    KeyboardHome rig;
    ASSERT_TRUE(rig.init());
    auto display = [&](const char* key) { return rig.display(key); };
    const std::filesystem::path layers = rig.home + "/config/TavirexCorvane/Layers";
    writeDocument(layers / "Group.plist", "<key>ItemOrder</key><array><string>user_layers</string></array>");
    writeDocument(
        layers / "user_layers" / "Group.plist",
        "<key>ItemOrder</key><array><string>plugged</string><string>now</string><string>later</string>"
        "</array><key>DisplayName</key><string>User layers</string>");
    writeDocument(layers / "user_layers" / "plugged" / "Layer.plist",
                  "<key>DisplayName</key><string>plugged</string><key>Buttons</key><dict>" +
                      viewBinding("Escape", "Clock", "Time") + viewBinding("F1", "SystemMonitor", "CPU") +
                      viewBinding("F2", "Crasher", "Boom") +
                      picture(layers / "user_layers" / "plugged", "F7") + "</dict>");
    writeTimedGroup(layers / "user_layers", "now", hoursFromNow(-1), hoursFromNow(1), "F5");
    writeTimedGroup(layers / "user_layers", "later", hoursFromNow(2), hoursFromNow(3), "F6");

    ConfiguratorProcess process =
        rig.start({{"CORVANE_XKB_LAYOUTS", "us"}, {"XDG_DATA_HOME", CORVANE_E2E_DATA_HOME}});
    ASSERT_TRUE(process.waitFor("configurator running", 30s)) << process.log;

    EXPECT_TRUE(waitUntil([&] { return nonBlack(display("Escape")); }, 10s)) << "the clock drew nothing\n"
                                                                             << process.log;
    ASSERT_TRUE(waitUntil([&] { return nonBlack(display("F1")); }, 10s))
        << "the processor monitor drew nothing\n"
        << process.log;

    // The processor monitor follows the load.
    const std::string quiet = display("F1");
    std::atomic<bool> burning{true};
    std::thread burner([&] {
        volatile unsigned long sink = 0;
        while (burning)
            sink = sink + 1;
    });
    // Generous: on a machine already busy with other tests the graph moves less from one second to the next.
    const bool moved = waitUntil([&] { return display("F1") != quiet; }, 10s);
    burning = false;
    burner.join();
    EXPECT_TRUE(moved) << "the processor picture did not change within 10 s\n" << process.log;

    // The group whose time window covers now is shown; the other is not.
    ASSERT_TRUE(waitUntil([&] { return display("F7").size() == 48 * 48 * 2; }, 10s));
    EXPECT_EQ(display("F5"), display("F7")) << "the layer of the current time is not shown";
    EXPECT_NE(display("F6"), display("F7")) << "the layer of a later time is shown";

    // The crash is contained and named; the program and the other keys go on.
    EXPECT_TRUE(process.waitFor("crashed in Start of Crasher/Boom", 10s)) << process.log;
    const std::string clock = display("Escape");
    EXPECT_TRUE(nonBlack(clock));

    stopOrderly(process);
    EXPECT_NE(process.log.find("shut down"), std::string::npos) << process.log;
}

} // namespace
