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
    explicit SocketServer(const std::filesystem::path& path)
        : m_fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{AF_UNIX, {}};
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        // Unbound, it never has a connection, and every test that expects one fails.
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 8);
    }
    ~SocketServer() { ::close(m_fd); }
    bool hasWaitingConnection(int timeoutMs = 0) {
        pollfd waiting{m_fd, POLLIN, 0};
        return ::poll(&waiting, 1, timeoutMs) == 1;
    }

    // The packets of the next connection, up to its end; empty when nobody connected.
    std::vector<Packet> nextConnection() {
        std::vector<Packet> packets;
        const int connection =
            hasWaitingConnection(2000) ? ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        for (Packet packet(64); connection >= 0; packet.resize(64)) {
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

private:
    int m_fd;
};
