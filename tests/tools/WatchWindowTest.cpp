// The live window follows the folder as the configurator writes it, and presses keys clicked with the
// mouse. Runs on Qt's offscreen platform.
#include "WatchWindow.h"

#include "KeyboardRenderer.h"
#include "SocketServer.h"
#include "VirtualKeyboardFolder.h"
#include "device/TestFolder.h"
#include "keyboard/KeyboardGeometry.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane::vkbd;
using corvane::keyboard::kMainKeyPlaces;

namespace {

constexpr unsigned kKeyA = 64, kDisplayA = 83;

TEST(WatchWindowTest, FollowsTheFolderAndPressesTheKeyUnderTheMouse) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "vkbd_window_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    TestKeyboardFolder folder{""};
    const FolderPaths paths{folder.path()};
    ASSERT_EQ(initVirtualKeyboard(folder.path(), {}), "");
    ASSERT_TRUE(writeFile(paths.displayMap(), std::vector<std::uint8_t>(114, 1)));
    Surface drawing = loadPng(std::string(CORVANE_KEYBOARD_DATA_DIR) + "/keyboard.png");
    ASSERT_TRUE(drawing);
    WatchWindow window(folder.path(), 0, std::move(drawing));
    window.resize(1304, 425);
    window.show();

    const auto shows = [&](QRgb colour) {
        return QTest::qWaitFor([&] {
            return window.picture().pixel(kMainKeyPlaces[kKeyA].x + 5, kMainKeyPlaces[kKeyA].y + 5) == colour;
        });
    };
    const auto writeDisplay = [&](std::uint8_t high, std::uint8_t low) {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < 4608)
            bytes.insert(bytes.end(), {high, low});
        return writeFile(paths.display(kDisplayA), bytes);
    };
    const auto writeOrder = [&](const std::string& command) {
        std::vector<std::uint8_t> bytes(command.begin(), command.end());
        bytes.resize(512, 0); // the command ends at the first zero
        return writeFile(paths.order(), bytes);
    };
    EXPECT_TRUE(shows(qRgb(0, 0, 0)));

    // A display file that appears after the window opened, and is later rewritten in place.
    ASSERT_TRUE(writeDisplay(0xF8, 0x00));
    EXPECT_TRUE(shows(qRgb(255, 0, 0)));
    ASSERT_TRUE(writeOrder("b050"));
    EXPECT_TRUE(shows(qRgb(127, 0, 0)));
    // The sleep command that follows does not bring the brightness back.
    ASSERT_TRUE(writeOrder("s0420"));
    ASSERT_TRUE(writeDisplay(0xFF, 0xFF));
    EXPECT_TRUE(shows(qRgb(127, 127, 127)));
    // Letting go of the displays darkens them.
    ASSERT_TRUE(writeFile(paths.displayMap(), std::vector<std::uint8_t>(114, 0)));
    EXPECT_TRUE(shows(qRgb(0, 0, 0)));

    // The mouse on a key presses and releases it.
    SocketServer server(paths.keyStateSocket());
    // The window shows the drawing at its own size here, so picture and window points agree.
    const QPoint onA(kMainKeyPlaces[kKeyA].x + 10, kMainKeyPlaces[kKeyA].y + 10);
    QTest::mousePress(&window, Qt::LeftButton, {}, onA);
    Packet down(16, 0);
    down[1 + kKeyA / 8] = 1u << (kKeyA % 8);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{down});
    // The held key is outlined once the window sees the record change.
    const QPoint outline(kMainKeyPlaces[kKeyA].capX + 1, kMainKeyPlaces[kKeyA].capY + 20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.grab().toImage().pixel(outline) == qRgb(255, 196, 0); }));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, onA);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{Packet(16, 0)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.grab().toImage().pixel(outline) != qRgb(255, 196, 0); }));
}

} // namespace
