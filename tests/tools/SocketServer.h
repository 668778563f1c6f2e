#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using Packet = std::vector<std::uint8_t>;

// Plays the configurator's side: listens on a socket of the folder and collects what one connection
// sent.
class SocketServer {
public:
    explicit SocketServer(const std::filesystem::path& path) {
        m_fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::listen(m_fd, 8) == 0;
    }
    ~SocketServer() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_ok; }

    // The packets of the next connection, up to its end; empty when nobody connected.
    std::vector<Packet> nextConnection() {
        pollfd waiting{m_fd, POLLIN, 0};
        if (::poll(&waiting, 1, 2000) != 1)
            return {};
        const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        std::vector<Packet> packets;
        while (connection >= 0) {
            Packet packet(64);
            const ssize_t n = ::recv(connection, packet.data(), packet.size(), 0);
            if (n <= 0)
                break;
            packet.resize(static_cast<std::size_t>(n));
            packets.push_back(packet);
        }
        if (connection >= 0)
            ::close(connection);
        return packets;
    }
    bool hasWaitingConnection() {
        pollfd waiting{m_fd, POLLIN, 0};
        return ::poll(&waiting, 1, 0) == 1;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};
