#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A private X server for one test: started on a free display, ended with the object.
class TestXServer {
public:
    // `extraArguments` go to Xvfb as they stand ("-extension", "X-Resource" to turn one off).
    explicit TestXServer(const std::vector<std::string>& extraArguments = {});
    ~TestXServer();
    TestXServer(const TestXServer&) = delete;
    TestXServer& operator=(const TestXServer&) = delete;

    bool running() const { return !m_display.empty(); }
    // ":N"
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};
