#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/types.h>

// A private message bus for one test.
class TestBus {
public:
    TestBus() {
        FILE* out = popen("dbus-daemon --config-file=/usr/share/dbus-1/session.conf --fork --nopidfile "
                          "--print-address=1 --print-pid=1 2>/dev/null",
                          "r");
        char address[512] = {}, pid[32] = {};
        if (out && fgets(address, sizeof address, out) && fgets(pid, sizeof pid, out)) {
            m_address = address;
            m_address.pop_back(); // its newline
            m_pid = std::atoi(pid);
        }
        if (out)
            pclose(out);
    }
    ~TestBus() {
        if (m_pid > 0)
            kill(m_pid, SIGTERM);
    }
    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};
