#include "support/UpdateServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

UpdateServer::UpdateServer(const std::string& root) {
    int out[2];
    if (::pipe(out) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        const std::string script = std::string(CORVANE_TEST_DATA) + "/../update/update_server.py";
        ::execlp("python3", "python3", script.c_str(), root.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    if (FILE* in = ::fdopen(out[0], "r")) {
        if (std::fscanf(in, "%d", &m_port) != 1)
            m_port = 0;
        std::fclose(in);
    } else {
        ::close(out[0]);
    }
}

UpdateServer::~UpdateServer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string UpdateServer::address(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + path;
}
