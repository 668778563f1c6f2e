// The tray icon against a notification-area host on a private session bus: the item registers with
// the host, and registers again when the host restarts (as a panel does after a crash or an update).
#include "core/MessageDispatch.h"
#include "shell/EditorHost.h"
#include "shell/QtMainLoop.h"
#include "shell/TrayIcon.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kWaitMs = 20000; // an upper bound for a slow machine, not a measure of speed

// A child process, ended with the object.
class Child {
public:
    explicit Child(std::vector<std::string> argv, bool readFirstLine = false) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            if (readFirstLine)
                ::dup2(fds[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (auto& arg : argv)
                args.push_back(arg.data());
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        while (readFirstLine && ::poll(&ready, 1, kWaitMs) > 0) {
            char c;
            if (::read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            m_firstLine += c;
        }
        ::close(fds[0]);
    }
    ~Child() { stop(); }
    void stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    const std::string& firstLine() const { return m_firstLine; }

private:
    pid_t m_pid = -1;
    std::string m_firstLine;
};

bool havePythonModule(const char* module) {
    const std::string command = std::string(kPython) + " -c 'import " + module + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

int registrations(const std::string& log) {
    const std::string text = readWholeFile(log);
    int count = 0;
    for (size_t at = text.find("RegisterStatusNotifierItem"); at != std::string::npos;
         at = text.find("RegisterStatusNotifierItem", at + 1))
        ++count;
    return count;
}

struct NoEditor final : IKVEditorHost {
    bool ShowEditor() override { return false; }
    void CloseEditor() override {}
    bool HasEditor() const override { return false; }
};

TEST(TraySessionBus, ItemRegistersWithTheHostAndAgainAfterItRestarts) {
    if (!havePythonModule("dbusmock"))
        GTEST_SKIP() << "python3-dbusmock is not installed";
    Child bus({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address=1"}, true);
    if (bus.firstLine().empty())
        GTEST_SKIP() << "no private session bus: dbus-daemon did not start";
    TestXServer x;
    if (!x.running())
        GTEST_SKIP() << "no X server: Xvfb did not start";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.firstLine().c_str(), 1);
    ::setenv("DISPLAY", x.display().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("XDG_CURRENT_DESKTOP");

    static int argc = 1;
    static char name[] = "shell_tray_bus_tests";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QDBusConnectionInterface* busNames = QDBusConnection::sessionBus().interface();
    ASSERT_NE(busNames, nullptr);

    TempDir logs;
    const std::string watcherTemplate = std::string(CORVANE_SOURCE_DIR) + "/tests/shell/sni_watcher.py";
    auto startHost = [&](const std::string& log) {
        auto host = std::make_unique<Child>(std::vector<std::string>{kPython, "-m", "dbusmock", "--session",
                                                                     "-t", watcherTemplate, "-l", log});
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return busNames->isServiceRegistered("org.kde.StatusNotifierWatcher"); }, kWaitMs));
        return host;
    };
    auto host = startHost(logs / "first.log");

    KVQtMainLoop loop(app);
    CKVMessageDispatch dispatch(loop);
    NoEditor editor;
    KVTrayServices services;
    services.iconFolder = std::string(CORVANE_SOURCE_DIR) + "/data/desktop/icons";
    services.autostart = KVAutostart(logs / "autostart", {});
    KVTrayIcon tray(dispatch, &editor, {}, std::move(services), false);
    tray.Show();
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return registrations(logs / "first.log") == 1; }, kWaitMs))
        << readWholeFile(logs / "first.log");

    host->stop();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !busNames->isServiceRegistered("org.kde.StatusNotifierWatcher"); }, kWaitMs));
    host = startHost(logs / "second.log");
    EXPECT_TRUE(QTest::qWaitFor([&] { return registrations(logs / "second.log") >= 1; }, kWaitMs))
        << readWholeFile(logs / "second.log");
    EXPECT_TRUE(tray.trayIcon().isVisible());

    dispatch.Destroy();
    host->stop();
}

} // namespace
