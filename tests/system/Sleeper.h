#pragma once

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// A real child process: a copy of sleep under a name of our own, so it can be told from every other.
struct Sleeper {
    TempDir temp;
    std::filesystem::path program = temp.path() / "CorvaneSleeper";
    pid_t pid = 0;

    Sleeper() { std::filesystem::copy_file("/bin/sleep", program); }
    ~Sleeper() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

    bool start() {
        std::string name = program.filename().string(), seconds = "60";
        char* argv[] = {name.data(), seconds.data(), nullptr};
        return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
    }
    // Kills the child and waits until it is a zombie, without reaping it.
    bool killToZombie() {
        ::kill(pid, SIGKILL);
        siginfo_t info{};
        return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) == 0;
    }
    bool reap() {
        const bool reaped = ::waitpid(pid, nullptr, 0) == pid;
        pid = 0;
        return reaped;
    }
};
