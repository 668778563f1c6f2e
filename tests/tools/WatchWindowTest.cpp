// The live window follows the folder as the configurator writes it, and presses keys clicked with the
// mouse. Runs on Qt's offscreen platform.
#include "WatchWindow.h"

#include "KeyboardRenderer.h"
#include "SocketServer.h"
#include "VirtualKeyboardFolder.h"
#include "device/TestFolder.h"
#include "keyboard/KeyboardGeometry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace corvane::vkbd;
using corvane::keyboard::kMainKeyPlaces;

namespace {

constexpr unsigned kKeyA = 64, kDisplayA = 83;

class WatchWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "vkbd_window_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr)
            new QApplication(argc, argv);
    }

    void SetUp() override {
        ASSERT_EQ(initVirtualKeyboard(folder.path(), {}), "");
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.displayMap(), std::vector<std::uint8_t>(114, 1)));
        Surface drawing = loadPng(std::string(CORVANE_KEYBOARD_DATA_DIR) + "/keyboard.png");
        ASSERT_TRUE(drawing);
        window = std::make_unique<WatchWindow>(folder.path(), 0, std::move(drawing));
        window->resize(1304, 425);
        window->show();
    }

    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > 3000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    QRgb keyPixel(unsigned key, int column, int row) const {
        return window->picture().pixel(kMainKeyPlaces[key].x + column, kMainKeyPlaces[key].y + row);
    }

    void writeSolidDisplay(unsigned display, std::uint8_t high, std::uint8_t low) {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < 4608)
            bytes.insert(bytes.end(), {high, low});
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.display(display), bytes));
    }
    void writeOrder(const std::string& command) {
        std::vector<std::uint8_t> bytes(command.begin(), command.end());
        bytes.resize(512, 0); // the command ends at the first zero
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.order(), bytes));
    }

    TestKeyboardFolder folder{""};
    std::unique_ptr<WatchWindow> window;
};

TEST_F(WatchWindowTest, FollowsTheFolderAndPressesTheKeyUnderTheMouse) {
    EXPECT_EQ(keyPixel(kKeyA, 5, 5), qRgb(0, 0, 0));

    // A display file that appears after the window opened, then one rewritten in place.
    writeSolidDisplay(kDisplayA, 0xF8, 0x00);
    EXPECT_TRUE(waitFor([&] { return keyPixel(kKeyA, 5, 5) == qRgb(255, 0, 0); }));
    writeSolidDisplay(kDisplayA, 0x00, 0x1F);
    EXPECT_TRUE(waitFor([&] { return keyPixel(kKeyA, 5, 5) == qRgb(0, 0, 255); }));

    writeOrder("b050");
    EXPECT_TRUE(waitFor([&] { return keyPixel(kKeyA, 5, 5) == qRgb(0, 0, 127); }));
    // The sleep command that follows does not bring the brightness back.
    writeOrder("s0420");
    writeSolidDisplay(kDisplayA, 0xFF, 0xFF);
    EXPECT_TRUE(waitFor([&] { return keyPixel(kKeyA, 5, 5) == qRgb(127, 127, 127); }));

    // Letting go of the displays darkens them.
    ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.displayMap(), std::vector<std::uint8_t>(114, 0)));
    EXPECT_TRUE(waitFor([&] { return keyPixel(kKeyA, 5, 5) == qRgb(0, 0, 0); }));

    // The mouse on a key presses and releases it.
    SocketServer server(FolderPaths{folder.path()}.keyStateSocket());
    ASSERT_TRUE(server.ok());
    // The window shows the drawing at its own size here, so picture and window points agree.
    const QPoint onA(kMainKeyPlaces[kKeyA].x + 10, kMainKeyPlaces[kKeyA].y + 10);
    QTest::mousePress(window.get(), Qt::LeftButton, {}, onA);
    Packet down(16, 0);
    down[1 + kKeyA / 8] = 1u << (kKeyA % 8);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{down});
    // The held key is outlined once the window sees the record change.
    const QPoint outline(kMainKeyPlaces[kKeyA].capX + 1, kMainKeyPlaces[kKeyA].capY + 20);
    EXPECT_TRUE(waitFor([&] { return window->grab().toImage().pixel(outline) == qRgb(255, 196, 0); }));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, onA);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{Packet(16, 0)});

    // Between the keys nothing is sent.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(130, 20));
    EXPECT_FALSE(server.hasWaitingConnection());
    EXPECT_TRUE(waitFor([&] { return window->grab().toImage().pixel(outline) != qRgb(255, 196, 0); }));
}

} // namespace
