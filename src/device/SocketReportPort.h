#pragma once

#include "device/DeviceBackend.h"

#include <string>
#include <vector>

// A HID interface of the virtual keyboard: a listening SOCK_SEQPACKET socket whose clients each send
// whole reports. An epoll descriptor gathers the socket and its connections, so the owner polls one fd.
class KVSocketReportPort final : public IKVReportPort {
public:
    // Binds and listens at `path`, replacing a stale socket file but never one that somebody serves.
    static std::unique_ptr<KVSocketReportPort> listen(const std::string& path);
    ~KVSocketReportPort() override;

    int pollFd() const override { return m_epoll; }
    bool readReports(const std::function<void(std::span<const uint8_t>)>& onReport) override;

private:
    KVSocketReportPort() = default;
    void accept();
    void drop(int connection);

    std::string m_path;
    int m_listen = -1;
    int m_epoll = -1;
    std::vector<int> m_connections;
};
