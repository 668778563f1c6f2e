#pragma once

#include "support/ChildProcess.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

inline constexpr const char* kPython = "/usr/bin/python3";

// A private session bus for one test, with python-dbusmock services on it.
struct MockSessionBus {
    std::unique_ptr<ChildProcess> daemon;
    std::string address;

    MockSessionBus() {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        daemon = std::make_unique<ChildProcess>(std::vector<std::string>{
            "dbus-daemon", "--session", "--nofork", "--print-address=" + std::to_string(fds[1])});
        ::close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        char c;
        while (::poll(&ready, 1, 5000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            address += c;
        ::close(fds[0]);
    }
    // busctl against this bus; its output, or nothing when it failed.
    std::optional<std::string> busctl(const std::string& arguments) const {
        const std::string command = "busctl --address='" + address + "' " + arguments + " 2>&1";
        std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
        std::string output;
        std::array<char, 512> chunk;
        while (size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe.get()))
            output.append(chunk.data(), n);
        const int status = ::pclose(pipe.release());
        if (status != 0)
            return std::nullopt;
        return output;
    }
    // A python-dbusmock object named `name` at `path` with `interface`, once it is on the bus.
    std::unique_ptr<ChildProcess> mock(const std::string& name, const std::string& path,
                                       const std::string& interface) {
        auto process = std::make_unique<ChildProcess>(
            std::vector<std::string>{kPython, "-m", "dbusmock", "--session", name, path, interface},
            std::vector<std::pair<std::string, std::string>>{{"DBUS_SESSION_BUS_ADDRESS", address}});
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (busctl("status " + name))
                return process;
            ::usleep(50'000);
        }
        return nullptr;
    }
    bool addMethod(const std::string& name, const std::string& path, const std::string& interface,
                   const std::string& method, const std::string& in, const std::string& out,
                   const std::string& code) {
        return busctl("call " + name + " " + path + " org.freedesktop.DBus.Mock AddMethod sssss '" +
                      interface + "' '" + method + "' '" + in + "' '" + out + "' \"" + code + "\"")
            .has_value();
    }
};

inline bool haveMockTools() {
    return std::system("command -v dbus-daemon busctl >/dev/null 2>&1") == 0 &&
           std::system((std::string(kPython) + " -c 'import dbusmock' >/dev/null 2>&1").c_str()) == 0;
}
