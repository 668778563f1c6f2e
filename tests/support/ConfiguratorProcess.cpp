#include "support/ConfiguratorProcess.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

ConfiguratorProcess::ConfiguratorProcess(ConfiguratorProcess&& other) noexcept
    : pid(other.pid), stderrFd(other.stderrFd), log(std::move(other.log)) {
    other.pid = -1;
    other.stderrFd = -1;
}

ConfiguratorProcess::~ConfiguratorProcess() {
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (stderrFd >= 0)
        ::close(stderrFd);
}

bool ConfiguratorProcess::waitFor(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (log.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{stderrFd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(stderrFd, buffer, sizeof buffer);
        if (got <= 0)
            return log.find(text) != std::string::npos;
        log.append(buffer, size_t(got));
    }
    return true;
}

int ConfiguratorProcess::wait() {
    int status = 0;
    ::waitpid(pid, &status, 0);
    char buffer[4096];
    for (ssize_t got; (got = ::read(stderrFd, buffer, sizeof buffer)) > 0;)
        log.append(buffer, size_t(got));
    ::close(stderrFd);
    stderrFd = -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string privateFolder() {
    char pattern[] = "/tmp/corvane-e2e-XXXXXX";
    return ::mkdtemp(pattern);
}

ConfiguratorProcess startConfigurator(std::vector<std::string> args, const std::string& home,
                                      const std::vector<std::pair<std::string, std::string>>& environment) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    ConfiguratorProcess process;
    process.pid = ::fork();
    if (process.pid == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("CORVANE_LOG", "info", 1);
        ::setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::mkdir((home + "/run").c_str(), 0700);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        const std::string program = std::string(CORVANE_BIN_DIR) + "/corvane-configurator";
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    process.stderrFd = pipeFds[0];
    return process;
}

CtlResult runCtl(const std::string& home, const std::string& arguments) {
    const std::string command = "env -u DISPLAY XDG_RUNTIME_DIR='" + home + "/run' XDG_CONFIG_HOME='" + home +
                                "/config' CORVANE_LOG=warn '" + CORVANE_BIN_DIR + "/corvane-ctl' " +
                                arguments + " 2>'" + home + "/ctl.err'";
    CtlResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = readFile(home + "/ctl.err");
    return result;
}

int runKeyboardTool(const std::string& arguments) {
    return std::system((std::string(CORVANE_BIN_DIR) + "/corvane-virtual-keyboard " + arguments).c_str());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
