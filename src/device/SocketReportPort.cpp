#include "device/SocketReportPort.h"

#include "core/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Far above any report; a larger packet is cut and ignored by the report's reader.
constexpr size_t kMaxPacket = 64;
constexpr size_t kMaxConnections = 16;

bool addressFor(const std::string& path, sockaddr_un& address) {
    if (path.size() >= sizeof(address.sun_path))
        return false;
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool somebodyListens(const sockaddr_un& address) {
    const int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    const bool answered =
        probe >= 0 && connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (probe >= 0)
        close(probe);
    return answered;
}

} // namespace

std::unique_ptr<KVSocketReportPort> KVSocketReportPort::listen(const std::string& path) {
    sockaddr_un address;
    if (!addressFor(path, address)) {
        corvane::logger("device").error("virtual keyboard: socket path too long: {}", path);
        return nullptr;
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode) || somebodyListens(address)) {
            corvane::logger("device").error("virtual keyboard: {} is in use", path);
            return nullptr;
        }
        unlink(path.c_str());
    }
    std::unique_ptr<KVSocketReportPort> port(new KVSocketReportPort);
    port->m_listen = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    port->m_epoll = epoll_create1(EPOLL_CLOEXEC);
    if (port->m_listen < 0 || port->m_epoll < 0 ||
        bind(port->m_listen, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        corvane::logger("device").error("virtual keyboard: cannot listen at {}: {}", path,
                                        std::strerror(errno));
        return nullptr;
    }
    port->m_path = path;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = port->m_listen;
    if (::listen(port->m_listen, 32) != 0 ||
        epoll_ctl(port->m_epoll, EPOLL_CTL_ADD, port->m_listen, &event) != 0) {
        corvane::logger("device").error("virtual keyboard: cannot listen at {}: {}", path,
                                        std::strerror(errno));
        return nullptr;
    }
    return port;
}

KVSocketReportPort::~KVSocketReportPort() {
    for (int connection : m_connections)
        close(connection);
    if (m_listen >= 0)
        close(m_listen);
    if (m_epoll >= 0)
        close(m_epoll);
    if (!m_path.empty())
        unlink(m_path.c_str());
}

void KVSocketReportPort::accept() {
    for (;;) {
        const int connection = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (connection < 0)
            return;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = connection;
        if (m_connections.size() >= kMaxConnections ||
            epoll_ctl(m_epoll, EPOLL_CTL_ADD, connection, &event) != 0) {
            corvane::logger("device").warn("virtual keyboard: too many senders on {}", m_path);
            close(connection);
            continue;
        }
        m_connections.push_back(connection);
    }
}

void KVSocketReportPort::drop(int connection) {
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection, nullptr);
    close(connection);
    std::erase(m_connections, connection);
}

bool KVSocketReportPort::readReports(const std::function<void(std::span<const uint8_t>)>& onReport) {
    epoll_event events[kMaxConnections + 1];
    if (epoll_wait(m_epoll, events, int(std::size(events)), 0) <= 0)
        return true;
    accept();
    // Senders connect, send and close one after the other: reading the connections in the order they
    // were accepted keeps their reports in the order they were sent.
    const std::vector<int> connections = m_connections;
    for (const int fd : connections) {
        uint8_t packet[kMaxPacket];
        for (;;) {
            const ssize_t got = recv(fd, packet, sizeof packet, MSG_DONTWAIT);
            if (got > 0) {
                onReport(std::span(packet, size_t(got)));
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got == 0 || errno != EAGAIN)
                drop(fd); // the sender is done
            break;
        }
    }
    return true;
}
