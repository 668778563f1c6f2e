// The key panels of the real configurator on an X server, driven by key presses only: Escape gets a
// picture typed into the display panel, F1 gets the Launcher's "Run or open" with a command typed into
// its settings, a press of F1 on the virtual keyboard runs the command, and closing the window saves
// both bindings.

#include "device/KeyTables.h"
#include "images/KVImage.h"
#include "images/VipsRuntime.h"
#include "support/ConfiguratorProcess.h"
#include "support/Xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string displayFile(const std::string& keyboard, const char* key) {
    const unsigned index = *corvane::device::findKeyByName(KeyboardModelMain, key);
    char name[32];
    std::snprintf(name, sizeof name, "/vTavirex/dynamic/%03u.sys",
                  unsigned(corvane::device::modelDescriptor(KeyboardModelMain).keys[index].display));
    return keyboard + name;
}

bool xdotool(const std::string& display, const std::string& arguments) {
    return std::system(("DISPLAY=" + display + " timeout 30 xdotool " + arguments).c_str()) == 0;
}

// Every Layer.plist of the user's layers, one after another.
std::string storedLayers(const std::string& home) {
    std::string text;
    const std::filesystem::path layers = home + "/config/TavirexCorvane/Layers/user_layers";
    if (std::filesystem::exists(layers))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(layers))
            if (entry.path().filename() == "Layer.plist")
                text += readFile(entry.path()) + "\n";
    return text;
}

} // namespace

TEST(KeyPanelsEndToEnd, APictureAndALauncherSetByKeysWorkOnTheKeyboardAndAreSaved) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    TestXServer server;
    if (!server.running())
        GTEST_SKIP() << "Xvfb could not be started";
    const std::string home = privateFolder();
    const std::string keyboard = home + "/keyboard";
    ASSERT_EQ(runKeyboardTool("init " + keyboard), 0);
    const std::string picture = home + "/red.png";
    ASSERT_TRUE(corvane::images::startVips());
    KVImage red(KVImage::kKeySize, KVImage::kKeySize);
    for (size_t i = 0; i + 2 < red.pixels().size(); i += 3) {
        red.pixels()[i] = red.pixels()[i + 1] = 0; // blue, green, red
        red.pixels()[i + 2] = 220;
    }
    const auto png = red.encodePng();
    std::ofstream(picture, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    const std::string launched = home + "/launched";

    ConfiguratorProcess app = startConfigurator({"--virtual-keyboard", keyboard}, home,
                                                {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}});
    ASSERT_TRUE(app.waitFor("configurator running", 30s)) << app.log;
    const std::string escape = displayFile(keyboard, "Escape");
    ASSERT_TRUE(waitUntil([&] { return !readFile(escape).empty(); }, 20s));
    const std::string escapeBefore = readFile(escape);
    auto keys = [&](const std::string& sequence) {
        return xdotool(server.display(), "key --delay 200 " + sequence);
    };

    ASSERT_TRUE(
        xdotool(server.display(), "search --sync --name 'Tavirex Corvane Configurator' windowfocus --sync"));
    std::this_thread::sleep_for(500ms);
    // A new layer, its name kept; F6 goes on to the keyboard, whose focus starts on Escape.
    ASSERT_TRUE(keys("ctrl+n"));
    ASSERT_TRUE(app.waitFor("editor: New layer", 10s)) << app.log;
    ASSERT_TRUE(keys("Return F6 space"));
    // Two panes on: the display panel's chooser, then its path box.
    ASSERT_TRUE(keys("F6 F6 Tab"));
    ASSERT_TRUE(xdotool(server.display(), "type --delay 20 '" + picture + "'"));
    ASSERT_TRUE(keys("Return"));
    ASSERT_TRUE(app.waitFor("editor: Escape shows red.png", 10s)) << app.log;
    EXPECT_TRUE(waitUntil([&] { return readFile(escape) != escapeBefore; }, 20s)) << "the keyboard shows it";

    // Back to the keyboard, on to F1, then the action panel's chooser: Launcher, "Run or open".
    ASSERT_TRUE(keys("shift+F6 shift+F6 Right space F6 F6 Tab Tab Tab Tab space"));
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(keys("Down Down Right Return"));
    ASSERT_TRUE(app.waitFor("editor: F1: Run or open", 10s)) << app.log;
    // The chooser keeps the focus; the settings come next.
    ASSERT_TRUE(keys("Tab"));
    ASSERT_TRUE(xdotool(server.display(), "type --delay 20 'touch " + launched + "'"));
    ASSERT_TRUE(keys("Return"));
    ASSERT_TRUE(app.waitFor("editor: Command of F1 is now touch", 10s)) << app.log;

    ASSERT_EQ(runKeyboardTool("press " + keyboard + " F1"), 0);
    ASSERT_EQ(runKeyboardTool("release " + keyboard + " F1"), 0);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(launched); }, 20s))
        << "the press ran the command\n"
        << app.log;

    ASSERT_TRUE(keys("ctrl+w"));
    ASSERT_TRUE(waitUntil([&] { return storedLayers(home).find("Launcher") != std::string::npos; }, 20s))
        << app.log;
    const std::string stored = storedLayers(home);
    EXPECT_NE(stored.find("<key>Escape</key>"), std::string::npos) << stored;
    EXPECT_NE(stored.find("touch " + launched), std::string::npos) << stored;
    EXPECT_NE(stored.find("<string>Run</string>"), std::string::npos) << stored;
    ::kill(app.pid, SIGTERM);
    EXPECT_EQ(app.wait(), 0) << app.log;
    std::filesystem::remove_all(home);
}
