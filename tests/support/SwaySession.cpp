#include "support/SwaySession.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool haveProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

constexpr uid_t kNobody = 65534;

} // namespace

TestSway::TestSway(const std::string& layouts) {
    for (const char* program : {"sway", "swaymsg", "Xvfb", "setpriv"})
        if (!haveProgram(program)) {
            m_failure = std::string(program) + " is not installed";
            return;
        }
    char pattern[] = "/tmp/corvane-sway-XXXXXX";
    if (!::mkdtemp(pattern)) {
        m_failure = "no temporary folder";
        return;
    }
    m_dir = pattern;
    if (::getuid() == 0 && ::chown(m_dir.c_str(), kNobody, kNobody) != 0) {
        m_failure = "the runtime folder cannot be given to nobody";
        return;
    }
    std::ofstream(m_dir + "/config") << "xwayland disable\n"
                                     << "output X11-1 resolution 640x480\n"
                                     << "input type:keyboard xkb_layout " << layouts << "\n";
    m_x = std::make_unique<TestXServer>();
    if (!m_x->running()) {
        m_failure = "Xvfb could not be started";
        return;
    }
    m_sway = std::make_unique<ChildProcess>(
        asUser({"sway", "-c", m_dir + "/config"}, {{"DISPLAY", m_x->display()},
                                                   {"WLR_BACKENDS", "x11"},
                                                   {"WLR_RENDERER", "pixman"},
                                                   {"WLR_LIBINPUT_NO_DEVICES", "1"}}));
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < deadline;) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(m_dir, error))
            if (entry.path().filename().string().starts_with("sway-ipc.") && entry.is_socket() &&
                fs::exists(m_dir + "/wayland-1")) {
                m_ipcSocket = entry.path();
                // Sway opens the socket before it is done setting up its outputs and inputs.
                if (command("-t get_version"))
                    return;
                m_ipcSocket.clear();
            }
        std::this_thread::sleep_for(50ms);
    }
    m_failure = "sway did not start";
}

TestSway::~TestSway() {
    m_sway.reset();
    m_x.reset();
    if (!m_dir.empty()) {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
}

std::vector<std::string> TestSway::asUser(std::vector<std::string> argv,
                                          const std::vector<std::pair<std::string, std::string>>& env) const {
    std::vector<std::string> command;
    if (::getuid() == 0)
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    command.insert(command.end(),
                   {"env", "-i", "PATH=/usr/bin:/bin", "HOME=" + m_dir, "XDG_RUNTIME_DIR=" + m_dir});
    for (const auto& [name, value] : env)
        command.push_back(name + "=" + value);
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

std::unique_ptr<ChildProcess>
TestSway::startClient(std::vector<std::string> argv,
                      std::vector<std::pair<std::string, std::string>> env) const {
    env.emplace_back("WAYLAND_DISPLAY", waylandDisplay());
    return std::make_unique<ChildProcess>(asUser(std::move(argv), env));
}

bool TestSway::command(const std::string& arguments) const {
    const std::string line = "SWAYSOCK='" + m_ipcSocket + "' swaymsg " + arguments + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}
