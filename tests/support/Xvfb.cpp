#include "support/Xvfb.h"

#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

TestXServer::TestXServer(const std::vector<std::string>& extraArguments) {
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(fds[0]);
        const std::string displayFd = std::to_string(fds[1]);
        std::vector<std::string> arguments{"Xvfb", "-displayfd", displayFd, "-nolisten",
                                           "tcp",  "-screen",    "0",       "1280x800x24"};
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execvp("Xvfb", argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes its display number to the pipe once it accepts connections.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    while (::poll(&ready, 1, 10000) > 0) {
        char c;
        if (::read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    ::close(fds[0]);
    if (!number.empty())
        m_display = ":" + number;
}

TestXServer::~TestXServer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}
