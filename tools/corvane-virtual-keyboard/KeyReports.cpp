#include "KeyReports.h"

#include "device/KeyTables.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvane::vkbd {

device::KeyStateReport keyStateReport(std::uint32_t model, const std::set<unsigned>& keysDown) {
    device::KeyStateReport report{};
    for (unsigned key : keysDown) {
        if (key < device::modelDescriptor(model).keyCount)
            device::setKeyInReport(model, key, true, report);
    }
    return report;
}

std::string sendPackets(const std::filesystem::path& socketPath,
                        std::span<const std::vector<std::uint8_t>> packets) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath.string();
    if (path.size() >= sizeof address.sun_path)
        return "the socket path " + path + " is too long";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::string("cannot create a socket: ") + std::strerror(errno);
    std::string error;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = "no configurator listens on " + path + ": " + std::strerror(errno);
    } else {
        for (const auto& packet : packets) {
            const ssize_t sent = ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
            if (sent != static_cast<ssize_t>(packet.size())) {
                error = "cannot send to " + path + ": " + (sent < 0 ? std::strerror(errno) : "short write");
                break;
            }
        }
    }
    ::close(fd);
    return error;
}

} // namespace corvane::vkbd
