#pragma once

#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A program a test runs beside itself (a window manager, an X or Wayland client), with extra environment;
// ended with the object however the test ends.
struct ChildProcess {
    pid_t pid = -1;

    ChildProcess(std::vector<std::string> argv,
                 const std::vector<std::pair<std::string, std::string>>& env = {}) {
        pid = ::fork();
        if (pid != 0)
            return;
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (auto& argument : argv)
            args.push_back(argument.data());
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ~ChildProcess() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
};
