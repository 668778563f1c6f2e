// How long the keyboard lags behind the desktop: from the moment a window is asked to take the focus
// to the moment the running configurator has written the key-code table of that program's layer onto
// a virtual keyboard. Measured under a real window manager (openbox on Xvfb) and under sway, each
// switching 100 times between two programs with a layer each; the counters give the median and the
// worst switch. The window manager's and compositor's own work is included, as a user would feel it.
// Under sway both of the configurator's sources are measured: sway's IPC and the foreign-toplevel
// protocol.
//
//   build/release/bin/focus_latency_bench [--benchmark_filter=Sway]

#include "hook/SwaySource.h"
#include "support/ChildProcess.h"
#include "support/ConfiguratorProcess.h"
#include "support/ForegroundProfile.h"
#include "support/SwaySession.h"
#include "support/Xvfb.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <xcb/xcb.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSwitches = 100;

bool haveProgram(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// The configurator on a virtual keyboard with a layer for each of two programs, and a watch on the
// keyboard's key-code table.
class Rig {
public:
    Rig(const std::string& first, const std::string& second,
        const std::vector<std::pair<std::string, std::string>>& environment)
        : m_home(privateFolder()), m_table(m_home + "/keyboard/vTavirex/scancode.sys") {
        foreground_profile::writeProfile(m_home, first, second);
        runKeyboardTool("init " + m_home + "/keyboard");
        m_program.emplace(startConfigurator(
            {"--headless", "-minimized", "--virtual-keyboard", m_home + "/keyboard"}, m_home, environment));
        m_inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(m_inotify, (m_home + "/keyboard/vTavirex").c_str(),
                            IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    ~Rig() {
        ::close(m_inotify);
        if (m_program->pid > 0) {
            ::kill(m_program->pid, SIGTERM);
            m_program->wait();
        }
        std::filesystem::remove_all(m_home);
    }
    bool started() { return m_program->waitFor("configurator running", 30s); }
    const std::string& log() const { return m_program->log; }
    std::string table() const { return readFile(m_table); }

    // When the table first reads `wanted`, woken by each write into the keyboard's folder.
    std::optional<Clock::time_point> awaitTable(const std::string& wanted, std::chrono::seconds timeout) {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            if (table() == wanted)
                return Clock::now();
            pollfd ready{m_inotify, POLLIN, 0};
            if (::poll(&ready, 1, 5) > 0) {
                char events[4096];
                while (::read(m_inotify, events, sizeof events) > 0) {
                }
            }
        }
        return std::nullopt;
    }
    // The table once it has settled on something other than `before`.
    std::string awaitChange(const std::string& before) {
        waitUntil([&] { return table() != before; }, 10s);
        std::this_thread::sleep_for(200ms);
        return table();
    }

private:
    std::string m_home;
    std::string m_table;
    std::optional<ConfiguratorProcess> m_program;
    int m_inotify = -1;
};

// Switches between two windows `kSwitches` times; each iteration's time is one switch.
template <typename Focus> void measureSwitches(benchmark::State& state, Rig& rig, Focus focus) {
    if (!rig.started()) {
        state.SkipWithError(("the configurator did not start: " + rig.log()).c_str());
        return;
    }
    // Learn each program's table first.
    std::string tables[2];
    focus(0);
    tables[0] = rig.awaitChange({});
    focus(1);
    tables[1] = rig.awaitChange(tables[0]);
    if (tables[0] == tables[1]) {
        state.SkipWithError(("the two layers did not take turns: " + rig.log()).c_str());
        return;
    }
    std::vector<double> latencies;
    int next = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!focus(next)) {
            state.SkipWithError("the focus could not be moved");
            return;
        }
        const auto done = rig.awaitTable(tables[next], 10s);
        if (!done) {
            state.SkipWithError(("a switch was not followed: " + rig.log()).c_str());
            return;
        }
        const double seconds = std::chrono::duration<double>(*done - start).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1000);
        next = 1 - next;
        // Let the window manager settle, as a person would between two switches.
        std::this_thread::sleep_for(20ms);
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["worst_ms"] = latencies.back();
}

// Asks the window manager to activate a window, as a pager or xdotool does.
class X11Activator {
public:
    explicit X11Activator(const std::string& display) : m_connection(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const char* name = "_NET_ACTIVE_WINDOW";
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        m_activeWindow = reply ? reply->atom : XCB_NONE;
        std::free(reply);
    }
    ~X11Activator() { xcb_disconnect(m_connection); }
    bool activate(uint32_t window) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = m_activeWindow;
        event.data.data32[0] = 2; // from a pager: the window manager obeys without second thoughts
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        return xcb_flush(m_connection) > 0;
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    xcb_atom_t m_activeWindow = XCB_NONE;
};

uint32_t findWindow(const std::string& display, const std::string& what) {
    uint32_t window = 0;
    waitUntil(
        [&] {
            const std::string command =
                "DISPLAY=" + display + " xdotool search --onlyvisible --limit 1 " + what;
            std::unique_ptr<FILE, decltype(&::pclose)> out(::popen(command.c_str(), "r"), ::pclose);
            char line[64] = {};
            window = std::fgets(line, sizeof line, out.get()) ? uint32_t(std::strtoul(line, nullptr, 10)) : 0;
            return window != 0;
        },
        10s);
    return window;
}

void BM_FocusToKeyboard_X11Openbox(benchmark::State& state) {
    if (!haveProgram("openbox") || !haveProgram("xcalc") || !haveProgram("xdotool"))
        return state.SkipWithError("openbox, xcalc or xdotool is not installed");
    TestXServer server;
    if (!server.running())
        return state.SkipWithError("Xvfb could not be started");
    const std::vector<std::pair<std::string, std::string>> env{{"DISPLAY", server.display()}};
    ChildProcess wm({"openbox", "--sm-disable"}, env);
    std::this_thread::sleep_for(500ms);
    ChildProcess xcalc({"xcalc"}, env);
    ChildProcess qt({CORVANE_BIN_DIR "/corvane-test-window", "qt"},
                    {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}});
    const uint32_t windows[2] = {findWindow(server.display(), "--class xcalc"),
                                 findWindow(server.display(), "--name '^qt$'")};
    if (!windows[0] || !windows[1])
        return state.SkipWithError("the windows did not appear");
    // Openbox ignores the first requests for windows that have never had the focus; xdotool waits for
    // each activation to be done.
    for (uint32_t window : {windows[0], windows[1], windows[0]})
        std::system(("DISPLAY=" + server.display() + " xdotool windowactivate --sync " +
                     std::to_string(window) + " >/dev/null 2>&1")
                        .c_str());
    X11Activator activator(server.display());
    Rig rig("xcalc", "corvane-test-window", env);
    measureSwitches(state, rig, [&](int which) { return activator.activate(windows[which]); });
}

// Sends sway commands over its IPC socket and waits for each answer.
class SwayCommander {
public:
    explicit SwayCommander(const std::string& socketPath)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~SwayCommander() { ::close(m_fd); }
    bool run(const std::string& command) {
        constexpr uint32_t kRunCommand = 0;
        const std::string frame = corvane::sway::frame(kRunCommand, command);
        if (!m_connected || ::send(m_fd, frame.data(), frame.size(), MSG_NOSIGNAL) != ssize_t(frame.size()))
            return false;
        std::string buffer;
        char chunk[4096];
        while (true) {
            if (auto reply = corvane::sway::takeFrame(buffer))
                return reply->payload.find("\"success\": true") != std::string::npos ||
                       reply->payload.find("\"success\":true") != std::string::npos;
            ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer.append(chunk, size_t(n));
        }
    }

private:
    int m_fd;
    bool m_connected = false;
};

// `source` forces the configurator's source of the foreground: sway's IPC, or the foreign-toplevel
// protocol that the other wlroots compositors offer.
void BM_FocusToKeyboard_Sway(benchmark::State& state, const char* source) {
    if (!haveProgram("foot"))
        return state.SkipWithError("foot is not installed");
    TestSway sway("us");
    if (!sway.running())
        return state.SkipWithError(sway.failure().c_str());
    auto foot = sway.startClient({"foot", "sleep", "3600"});
    auto qt =
        sway.startClient({CORVANE_BIN_DIR "/corvane-test-window", "qt"}, {{"QT_QPA_PLATFORM", "wayland"}});
    if (!waitUntil(
            [&] {
                return sway.command("'[app_id=corvane-test-window] focus'") &&
                       sway.command("'[app_id=foot] focus'");
            },
            10s))
        return state.SkipWithError("the windows did not appear");
    SwayCommander commander(sway.ipcSocket());
    const char* commands[2] = {"[app_id=foot] focus", "[app_id=corvane-test-window] focus"};
    Rig rig("foot", "corvane-test-window",
            {{"WAYLAND_DISPLAY", sway.runtimeDir() + "/" + sway.waylandDisplay()},
             {"SWAYSOCK", sway.ipcSocket()},
             {"CORVANE_FOREGROUND_SOURCE", source}});
    measureSwitches(state, rig, [&](int which) { return commander.run(commands[which]); });
}

BENCHMARK(BM_FocusToKeyboard_X11Openbox)
    ->Iterations(kSwitches)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FocusToKeyboard_Sway, ipc, "sway")
    ->Iterations(kSwitches)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FocusToKeyboard_Sway, foreign_toplevel, "foreign-toplevel")
    ->Iterations(kSwitches)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
