// Runs the real configurator as a user would, headless, and ends it the way the session does.

#include "device/KeyTables.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <filesystem>
#include <functional>
#include <string>

namespace {

struct Process {
    pid_t pid = -1;
    int stderrFd = -1;
    std::string log;

    // Reads the log until `text` appears or `timeout` passes.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (log.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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
    int wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        char buffer[4096];
        for (ssize_t got; (got = ::read(stderrFd, buffer, sizeof buffer)) > 0;)
            log.append(buffer, size_t(got));
        ::close(stderrFd);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

// Each test gets its own profile and runtime folder, so configurators of parallel tests never meet.
std::string privateFolder() {
    char pattern[] = "/tmp/corvane-e2e-XXXXXX";
    return ::mkdtemp(pattern);
}

Process start(std::vector<std::string> args, const std::string& home = privateFolder(),
              const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    Process process;
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

class TerminationSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminationSignal, EndsTheProgramThroughTheOrderlyShutdown) {
    Process process = start({"--headless", "-minimized"});
    ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(20))) << process.log;
    ::kill(process.pid, GetParam());
    EXPECT_EQ(process.wait(), 0) << process.log;
    const auto shuttingDown = process.log.find("shutting down");
    ASSERT_NE(shuttingDown, std::string::npos) << process.log;
    EXPECT_NE(process.log.find("shut down", shuttingDown + 1), std::string::npos) << process.log;
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(ConfiguratorProcess, WithoutADisplayItRunsHeadlessAndSaysSo) {
    Process process = start({"-minimized"});
    ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(20))) << process.log;
    EXPECT_NE(process.log.find("running headless"), std::string::npos) << process.log;
    ::kill(process.pid, SIGTERM);
    EXPECT_EQ(process.wait(), 0);
}

TEST(ConfiguratorProcess, ASecondStartHandsOverAndEnds) {
    const std::string home = privateFolder();
    Process first = start({"--headless", "-minimized"}, home);
    ASSERT_TRUE(first.waitFor("configurator running", std::chrono::seconds(20))) << first.log;
    Process second = start({"--headless", "/tmp/Some.LAYERS"}, home);
    EXPECT_EQ(second.wait(), 0) << second.log;
    EXPECT_TRUE(first.waitFor("importing archives is not available yet", std::chrono::seconds(20))) << first.log;
    EXPECT_NE(first.log.find("/tmp/Some.LAYERS"), std::string::npos);

    Process restarted = start({"--headless", "-minimized", "-RESTART"}, home);
    EXPECT_EQ(first.wait(), 0) << first.log;
    EXPECT_TRUE(restarted.waitFor("configurator running", std::chrono::seconds(20))) << restarted.log;
    ::kill(restarted.pid, SIGTERM);
    EXPECT_EQ(restarted.wait(), 0) << restarted.log;
}

TEST(ConfiguratorProcess, BadOptionsAreRefused) {
    Process process = start({"--no-such-option"});
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.log.find("unknown option --no-such-option"), std::string::npos) << process.log;
}

} // namespace

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int tool(const std::string& arguments) {
    return std::system((std::string(CORVANE_BIN_DIR) + "/corvane-virtual-keyboard " + arguments).c_str());
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

// The whole road: stored configuration, layers with the layout's captions, the keyboard's files, a key
// held on the keyboard switching the captions, and the keyboard given back at the end.
TEST(ConfiguratorProcess, DrivesTheVirtualKeyboardFromStartToExit) {
    const std::string home = privateFolder();
    const std::string keyboard = home + "/keyboard";
    ASSERT_EQ(tool("init " + keyboard), 0);
    const auto& model = corvane::device::modelDescriptor(KeyboardModelMain);
    const auto q = corvane::device::findKeyByName(KeyboardModelMain, "Q");
    ASSERT_TRUE(q);
    char name[32];
    std::snprintf(name, sizeof name, "/vTavirex/dynamic/%03u.sys", unsigned(model.keys[*q].display));
    const std::string qFile = keyboard + name;

    Process process = start({"--headless", "-minimized", "--virtual-keyboard", keyboard}, home,
                            {{"CORVANE_XKB_LAYOUTS", "us"}});
    ASSERT_TRUE(process.waitFor("configurator running", std::chrono::seconds(30))) << process.log;
    ASSERT_TRUE(waitUntil([&] { return readFile(qFile).size() == 48 * 48 * 2; }, std::chrono::seconds(10)))
        << "no picture for Q\n" << process.log;
    const std::string lowerQ = readFile(qFile);
    const std::string table = readFile(keyboard + "/vTavirex/scancode.sys");
    EXPECT_FALSE(table.empty());

    ASSERT_EQ(tool("press " + keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return readFile(qFile) != lowerQ; }, std::chrono::seconds(10)))
        << "Shift on the keyboard did not change Q's picture\n" << process.log;
    ASSERT_EQ(tool("release " + keyboard + " ShiftLeft"), 0);
    EXPECT_TRUE(waitUntil([&] { return readFile(qFile) == lowerQ; }, std::chrono::seconds(10)))
        << "Q's picture did not come back byte for byte\n" << process.log;
    EXPECT_EQ(readFile(keyboard + "/vTavirex/scancode.sys"), table) << "captions alone never change key codes";

    ::kill(process.pid, SIGTERM);
    EXPECT_EQ(process.wait(), 0) << process.log;
    EXPECT_NE(process.log.find("shut down"), std::string::npos);
    std::filesystem::remove_all(home);
}

} // namespace
