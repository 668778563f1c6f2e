// The tray icon against a notification-area host on a private session bus: the item registers with
// the host, and registers again when the host restarts (as a panel does after a crash or an update).
#include "FakeEditor.h"
#include "core/MessageDispatch.h"
#include "shell/QtMainLoop.h"
#include "shell/TrayIcon.h"
#include "support/MockSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20000; // an upper bound for a slow machine, not a measure of speed

int registrations(const std::string& log) {
    const std::string text = readWholeFile(log);
    int count = 0;
    for (size_t at = text.find("RegisterStatusNotifierItem"); at != std::string::npos;
         at = text.find("RegisterStatusNotifierItem", at + 1))
        ++count;
    return count;
}

TEST(TraySessionBus, ItemRegistersWithTheHostAndAgainAfterItRestarts) {
    if (!haveMockTools())
        GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
    MockSessionBus bus;
    if (bus.address.empty())
        GTEST_SKIP() << "no private session bus: dbus-daemon did not start";
    TestXServer x;
    if (!x.running())
        GTEST_SKIP() << "no X server: Xvfb did not start";
    ScopedEnvironment env;
    env.set("DBUS_SESSION_BUS_ADDRESS", bus.address);
    env.set("DISPLAY", x.display());
    env.set("QT_QPA_PLATFORM", "xcb");
    env.unset("XDG_CURRENT_DESKTOP");

    static int argc = 1;
    static char name[] = "shell_tray_bus_tests";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QDBusConnectionInterface* busNames = QDBusConnection::sessionBus().interface();
    ASSERT_NE(busNames, nullptr);

    TempDir logs;
    const std::string watcherTemplate = std::string(CORVANE_SOURCE_DIR) + "/tests/shell/sni_watcher.py";
    auto startHost = [&](const std::string& log) {
        auto host = std::make_unique<ChildProcess>(std::vector<std::string>{
            kPython, "-m", "dbusmock", "--session", "-t", watcherTemplate, "-l", log});
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return busNames->isServiceRegistered("org.kde.StatusNotifierWatcher"); }, kWaitMs));
        return host;
    };
    auto host = startHost(logs / "first.log");

    KVQtMainLoop loop(app);
    CKVMessageDispatch dispatch(loop);
    FakeEditor editor;
    KVTrayServices services;
    services.iconFolder = std::string(CORVANE_SOURCE_DIR) + "/data/desktop/icons";
    services.autostart = KVAutostart(logs / "autostart", {});
    KVTrayIcon tray(dispatch, &editor, {}, std::move(services), false);
    tray.Show();
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return registrations(logs / "first.log") == 1; }, kWaitMs))
        << readWholeFile(logs / "first.log");

    host.reset();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !busNames->isServiceRegistered("org.kde.StatusNotifierWatcher"); }, kWaitMs));
    host = startHost(logs / "second.log");
    EXPECT_TRUE(QTest::qWaitFor([&] { return registrations(logs / "second.log") >= 1; }, kWaitMs))
        << readWholeFile(logs / "second.log");
    EXPECT_TRUE(tray.trayIcon().isVisible());

    dispatch.Destroy();
}

} // namespace
