#pragma once

#include "support/ChildProcess.h"
#include "support/Xvfb.h"

#include <memory>
#include <string>
#include <vector>

// A private sway for one test, on wlroots' X11 backend inside its own Xvfb: the headless backend has no
// keyboard, and switching layouts needs one. Sway refuses to run as root, so as root it and its
// clients run as "nobody".
class TestSway {
public:
    // `layouts` as sway's xkb_layout takes them ("us,de").
    explicit TestSway(const std::string& layouts);
    ~TestSway();

    bool running() const { return !m_ipcSocket.empty(); }
    // Why it is not running.
    const std::string& failure() const { return m_failure; }
    const std::string& ipcSocket() const { return m_ipcSocket; }
    const std::string& runtimeDir() const { return m_dir; }
    std::string waylandDisplay() const { return "wayland-1"; }

    // A Wayland client of this sway, as the same user.
    std::unique_ptr<ChildProcess>
    startClient(std::vector<std::string> argv,
                std::vector<std::pair<std::string, std::string>> env = {}) const;
    // Runs swaymsg with `arguments`; true when sway answered success.
    bool command(const std::string& arguments) const;

private:
    std::vector<std::string> asUser(std::vector<std::string> argv,
                                    const std::vector<std::pair<std::string, std::string>>& env) const;

    std::string m_dir;
    std::string m_ipcSocket;
    std::string m_failure;
    std::unique_ptr<TestXServer> m_x;
    std::unique_ptr<ChildProcess> m_sway;
};
