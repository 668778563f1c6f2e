#pragma once

// The real configurator and the virtual keyboard tool, run as a user would, for end-to-end tests.

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

struct ConfiguratorProcess {
    ConfiguratorProcess() = default;
    ConfiguratorProcess(ConfiguratorProcess&& other) noexcept;
    ConfiguratorProcess& operator=(ConfiguratorProcess&&) = delete;
    // A test that stops early must not leave the program running behind it.
    ~ConfiguratorProcess();

    pid_t pid = -1;
    int stderrFd = -1;
    std::string log;

    // Reads the log until `text` appears or `timeout` passes.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout);
    // Waits for the end; the exit status, or 128 + the signal.
    int wait();
};

// A fresh folder under /tmp for one test's profile and runtime folder.
std::string privateFolder();

// Starts corvane-configurator with `args`, its profile and runtime folder under `home`, no display unless
// `environment` names one, and the extra `environment`.
ConfiguratorProcess
startConfigurator(std::vector<std::string> args, const std::string& home,
                  const std::vector<std::pair<std::string, std::string>>& environment = {});

// What corvane-ctl printed and how it ended.
struct CtlResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs corvane-ctl with `arguments` (shell words) and the profile and runtime folder of `home`.
CtlResult runCtl(const std::string& home, const std::string& arguments);

// Runs corvane-virtual-keyboard with `arguments`; its exit status.
int runKeyboardTool(const std::string& arguments);

std::string readFile(const std::string& path);
bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout);
