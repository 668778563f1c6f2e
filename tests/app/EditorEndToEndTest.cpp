// The editor window of the real configurator on an X server, driven by key presses as a user would: a
// new layer is made and renamed, two keys of a layer with pictures are swapped in the keyboard view, and
// closing the window saves all of it while the keyboard shows the swap. In the key panels, Escape gets a
// picture by its path and F1 the Launcher with a command typed into its settings, which a press of F1
// on the keyboard runs.

#include "EndToEnd.h"
#include "images/KVImage.h"
#include "images/VipsRuntime.h"
#include "support/Xvfb.h"

#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kPictureWidth = 1304, kPictureHeight = 425;

// A keyboard picture in which the tiles of Escape and F1 are plain red and plain green. The tiles lie 4
// pixels right of and 19 above the keys' places on the drawing: Escape at (46, 41), F1 at (140, 41).
bool writePicture(const std::string& path) {
    if (!corvane::images::startVips())
        return false;
    KVImage picture(kPictureWidth, kPictureHeight);
    auto fill = [&](int left, int top, uint8_t red, uint8_t green) {
        for (int y = top; y < top + 48; ++y)
            for (int x = left; x < left + 48; ++x) {
                // Rows bottom-up, blue-green-red.
                uint8_t* pixel = picture.scanLine(kPictureHeight - 1 - y) + x * 3;
                pixel[0] = 0, pixel[1] = green, pixel[2] = red;
            }
    };
    fill(46 + 4, 41 - 19, 220, 0);
    fill(140 + 4, 41 - 19, 0, 200);
    const auto png = picture.encodePng();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(out);
}

// Runs xdotool on the test's display; true when it succeeded.
bool xdotool(const std::string& display, const std::string& arguments) {
    return std::system(("DISPLAY=" + display + " timeout 30 xdotool " + arguments).c_str()) == 0;
}

// The editor's window of a configurator started on `rig` with it, in front with the keyboard's focus.
ConfiguratorProcess startWithWindow(const KeyboardHome& rig, const TestXServer& server) {
    ConfiguratorProcess app = startConfigurator({"--virtual-keyboard", rig.keyboard}, rig.home,
                                                {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}});
    EXPECT_TRUE(app.waitFor("configurator running", 30s)) << app.log;
    EXPECT_TRUE(
        xdotool(server.display(), "search --sync --name 'Tavirex Corvane Configurator' windowfocus --sync"));
    std::this_thread::sleep_for(500ms);
    return app;
}

// Every Layer.plist of the user's layers, one after another.
std::string storedLayers(const std::string& home) {
    std::string names;
    const std::filesystem::path layers = home + "/config/TavirexCorvane/Layers/user_layers";
    if (!std::filesystem::exists(layers))
        return names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(layers))
        if (entry.path().filename() == "Layer.plist")
            names += readFile(entry.path()) + "\n";
    return names;
}

// The real program on a virtual keyboard of its own, on an X server driven by xdotool.
class EditorEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveProgram("xdotool"))
            GTEST_SKIP() << "xdotool is not installed";
        if (!server.running())
            GTEST_SKIP() << "Xvfb could not be started";
        ASSERT_TRUE(rig.init());
    }

    TestXServer server;
    KeyboardHome rig;
};

} // namespace

TEST_F(EditorEndToEnd, KeyPressesMakeAndRenameALayerAndSwapTwoKeysAndClosingSavesThem) {
    const std::string &home = rig.home, &keyboard = rig.keyboard;
    ASSERT_TRUE(writePicture(home + "/Pictures.png"));
    const CtlResult imported = runCtl(home, "import-picture '" + home + "/Pictures.png'");
    ASSERT_EQ(imported.status, 0) << imported.out << readFile(home + "/ctl.err");

    // The window opens at start, its tree in front with the layer of pictures selected.
    ConfiguratorProcess app = startWithWindow(rig, server);
    const std::string escape = displayFile(keyboard, "Escape"), f1 = displayFile(keyboard, "F1");
    ASSERT_TRUE(waitUntil([&] { return !readFile(escape).empty() && !readFile(f1).empty(); }, 20s));
    const std::string red = readFile(escape), green = readFile(f1);
    ASSERT_NE(red, green) << "the layer with pictures is on the keyboard";
    ASSERT_TRUE(xdotool(server.display(), "key --delay 150 ctrl+n"));
    ASSERT_TRUE(app.waitFor("editor: New layer", 10s)) << app.log;
    ASSERT_TRUE(xdotool(server.display(), "type --delay 60 Renamed"));
    ASSERT_TRUE(xdotool(server.display(), "key --delay 150 Return"));
    ASSERT_TRUE(app.waitFor("editor: Rename layer New layer", 10s)) << app.log;

    // Down to the layer of pictures, Tab into the keyboard view (its focus starts on Escape), mark Escape,
    // go right to F1 and drop it there: the drop menu offers Swap first.
    ASSERT_TRUE(xdotool(server.display(), "key --delay 300 Down Tab ctrl+x Right ctrl+v"));
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(xdotool(server.display(), "key --delay 150 Return"));
    EXPECT_TRUE(waitUntil([&] { return readFile(escape) == green && readFile(f1) == red; }, 20s))
        << "the keyboard shows the swap\n"
        << app.log;

    ASSERT_TRUE(xdotool(server.display(), "key --delay 150 ctrl+w"));
    ASSERT_TRUE(waitUntil([&] { return storedLayers(home).find("Renamed") != std::string::npos; }, 20s))
        << "closing the window saves\n"
        << app.log;
    stopOrderly(app);

    // What was saved drives the keyboard the same way after a new start, which writes every display.
    std::filesystem::remove(escape);
    std::filesystem::remove(f1);
    ConfiguratorProcess again = rig.start();
    ASSERT_TRUE(again.waitFor("configurator running", 30s)) << again.log;
    EXPECT_TRUE(waitUntil([&] { return readFile(escape) == green && readFile(f1) == red; }, 20s))
        << again.log;
    stopOrderly(again);
}

TEST_F(EditorEndToEnd, APictureAndALauncherSetInTheKeyPanelsWorkOnTheKeyboardAndAreSaved) {
    ASSERT_TRUE(corvane::images::startVips());
    KVImage red(KVImage::kKeySize, KVImage::kKeySize);
    for (size_t i = 0; i + 2 < red.pixels().size(); i += 3) {
        red.pixels()[i] = red.pixels()[i + 1] = 0; // blue, green, red
        red.pixels()[i + 2] = 220;
    }
    const std::string picture = rig.home + "/red.png", launched = rig.home + "/launched";
    ASSERT_TRUE(red.save(picture));

    ConfiguratorProcess app = startWithWindow(rig, server);
    const std::string escape = displayFile(rig.keyboard, "Escape");
    ASSERT_TRUE(waitUntil([&] { return !readFile(escape).empty(); }, 20s));
    const std::string escapeBefore = readFile(escape);
    auto keys = [&](const std::string& sequence) {
        return xdotool(server.display(), "key --delay 200 " + sequence);
    };

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

    ASSERT_EQ(runKeyboardTool("press " + rig.keyboard + " F1"), 0);
    ASSERT_EQ(runKeyboardTool("release " + rig.keyboard + " F1"), 0);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(launched); }, 20s))
        << "the press ran the command\n"
        << app.log;

    ASSERT_TRUE(keys("ctrl+w"));
    ASSERT_TRUE(waitUntil([&] { return storedLayers(rig.home).find("Launcher") != std::string::npos; }, 20s))
        << app.log;
    const std::string stored = storedLayers(rig.home);
    EXPECT_NE(stored.find("<key>Escape</key>"), std::string::npos) << stored;
    EXPECT_NE(stored.find("touch " + launched), std::string::npos) << stored;
    EXPECT_NE(stored.find("<string>Run</string>"), std::string::npos) << stored;
    stopOrderly(app);
}
