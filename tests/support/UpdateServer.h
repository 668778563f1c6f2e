#pragma once

// The local update server of the tests (tests/update/update_server.py), serving a folder over http.

#include <string>
#include <sys/types.h>

class UpdateServer {
public:
    // Serves `root`; the server runs until this object goes.
    explicit UpdateServer(const std::string& root);
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    bool running() const { return m_port != 0; }
    // "http://127.0.0.1:PORT/" followed by `path`.
    std::string address(const std::string& path = {}) const;

private:
    pid_t m_pid = -1;
    int m_port = 0;
};
