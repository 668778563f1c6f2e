#include "control/ControlClient.h"

#include "core/Log.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Closes the socket however the exchange ends.
struct Socket {
    int fd = -1;
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(size_t(sent));
    }
    return true;
}

} // namespace

KVControlClient::KVControlClient(std::string socketPath, std::chrono::milliseconds timeout)
    : m_socketPath(std::move(socketPath)), m_timeout(timeout) {}

KVControlClient::Result KVControlClient::send(const KVControlRequest& request,
                                              const std::function<void(unsigned)>& progress) const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);

    Socket socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (socket.fd < 0 || ::connect(socket.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return {};

    Result result{Reach::Broken, KVControlAnswer::refused("the running configurator gave no answer")};
    if (!writeAll(socket.fd, corvane::control::encodeRequest(request) + "\n")) {
        corvane::logger("control").warn("cannot send the request: {}", std::strerror(errno));
        return result;
    }
    ::shutdown(socket.fd, SHUT_WR);

    std::string pending;
    char buffer[16 * 1024];
    for (;;) {
        // Every line but the last is a progress line; the answer ends the exchange.
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (const auto percent = corvane::control::decodeProgress(line)) {
                if (progress)
                    progress(*percent);
                continue;
            }
            if (auto answer = corvane::control::decodeAnswer(line)) {
                result.reach = Reach::Answered;
                result.answer = std::move(*answer);
            }
            return result;
        }
        pollfd ready{socket.fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(m_timeout.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0) {
            corvane::logger("control").warn("no answer from the running configurator within {} ms",
                                            m_timeout.count());
            return result;
        }
        const ssize_t got = ::read(socket.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return result;
        pending.append(buffer, size_t(got));
        if (pending.size() > corvane::control::kMaxLineBytes)
            return result;
    }
}
