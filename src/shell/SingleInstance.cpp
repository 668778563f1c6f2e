#include "shell/SingleInstance.h"

#include "control/ControlProtocol.h"
#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "shell/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kLockName = "instance.lock";
constexpr const char* kSocketName = "dispatch.sock";
// A request is one line; anything longer is not from us.
constexpr size_t kMaxRequest = 64 * 1024;
// How long a tool that sent a request may take to read its answer.
constexpr timeval kAnswerTimeout{5, 0};

bool socketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        corvane::logger("shell").error("the instance socket path is too long: {}", path);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

struct KVSingleInstance::Client {
    int fd;
    KVMainLoop::WatchId watch;
    std::string text;
};

KVSingleInstance::KVSingleInstance(std::string folder, Timing timing)
    : m_folder(std::move(folder)), m_timing(timing) {}

KVSingleInstance::~KVSingleInstance() {
    for (auto& client : m_clients) {
        m_loop->unwatchFd(client->watch);
        ::close(client->fd);
    }
    if (m_listenWatch)
        m_loop->unwatchFd(*m_listenWatch);
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink((m_folder + "/" + kSocketName).c_str());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

bool KVSingleInstance::tryLock() {
    if (m_lockFd < 0) {
        const std::string path = m_folder + "/" + kLockName;
        m_lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_lockFd < 0) {
            corvane::logger("shell").error("cannot open the instance lock {}: {}", path,
                                           std::strerror(errno));
            return false;
        }
    }
    return ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

KVSingleInstance::Outcome KVSingleInstance::check(const CKVCommandLineInfo& commandLine) {
    if (tryLock())
        return listen() ? Outcome::First : Outcome::Failed;
    if (m_lockFd < 0)
        return Outcome::Failed;

    if (commandLine.restart) {
        corvane::logger("shell").info("asking the running configurator to end");
        sendRequest("close");
        const auto deadline = std::chrono::steady_clock::now() + m_timing.restartWait;
        while (std::chrono::steady_clock::now() < deadline) {
            if (tryLock())
                return listen() ? Outcome::First : Outcome::Failed;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        corvane::logger("shell").error("the running configurator did not end within {} ms",
                                       m_timing.restartWait.count());
        return Outcome::RestartTimedOut;
    }
    if (!commandLine.layersFile.empty()) {
        std::this_thread::sleep_for(m_timing.openDelay);
        sendRequest("open " + commandLine.layersFile);
    } else {
        sendRequest("show");
    }
    return Outcome::HandedOver;
}

bool KVSingleInstance::sendRequest(const std::string& request) {
    if (connectAndSend(request))
        return true;
    // The running instance may still be starting up: look once more a little later.
    std::this_thread::sleep_for(m_timing.findRetry);
    if (connectAndSend(request))
        return true;
    corvane::logger("shell").warn("the running configurator could not be reached; the request \"{}\" is lost",
                                  request);
    return false;
}

bool KVSingleInstance::connectAndSend(const std::string& request) {
    sockaddr_un address;
    if (!socketAddress(m_folder + "/" + kSocketName, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool sent = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string line = request + "\n";
        sent = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
    }
    ::close(fd);
    return sent;
}

bool KVSingleInstance::listen() {
    sockaddr_un address;
    const std::string path = m_folder + "/" + kSocketName;
    if (!socketAddress(path, address))
        return false;
    // We hold the lock, so a socket left here belongs to an instance that died.
    ::unlink(path.c_str());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 8) != 0) {
        corvane::logger("shell").error("cannot listen on {}: {}", path, std::strerror(errno));
        return false;
    }
    ::chmod(path.c_str(), 0600);
    return true;
}

void KVSingleInstance::serve(KVMainLoop& loop, CKVMessageDispatch& dispatch) {
    m_loop = &loop;
    m_dispatch = &dispatch;
    if (m_listenFd >= 0)
        m_listenWatch =
            loop.watchFd(m_listenFd, KVMainLoop::Readable, [this](unsigned) { acceptConnections(); });
}

void KVSingleInstance::acceptConnections() {
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
            corvane::logger("shell").warn("refused a request from another user (uid {})", peer.uid);
            ::close(fd);
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->watch = m_loop->watchFd(fd, KVMainLoop::Readable, [this, fd](unsigned) { readRequest(fd); });
        m_clients.push_back(std::move(client));
    }
}

void KVSingleInstance::readRequest(int fd) {
    auto it = std::find_if(m_clients.begin(), m_clients.end(), [fd](const auto& c) { return c->fd == fd; });
    if (it == m_clients.end())
        return;
    Client& client = **it;
    char buffer[4096];
    bool finished = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            client.text.append(buffer, size_t(got));
            if (client.text.find('\n') != std::string::npos || client.text.size() > kMaxRequest) {
                finished = true;
                break;
            }
            continue;
        }
        finished = got == 0 || (errno != EAGAIN && errno != EINTR);
        break;
    }
    if (!finished)
        return;
    std::string request = client.text.size() > kMaxRequest ? std::string() : client.text;
    m_loop->unwatchFd(client.watch);
    m_clients.erase(it);
    if (auto end = request.find('\n'); end != std::string::npos)
        request.resize(end);
    if (corvane::control::isControlLine(request)) {
        answerControlRequest(fd, request);
        return;
    }
    handleRequest(request);
    ::close(fd);
}

KVSingleInstance::ControlWriter KVSingleInstance::writerFor(int fd) {
    // A tool may read slowly: write whole lines, waiting a bounded time for it.
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kAnswerTimeout, sizeof kAnswerTimeout);
    auto connection = std::shared_ptr<int>(new int(fd), [](int* held) {
        ::close(*held);
        delete held;
    });
    return [connection](std::string_view line) {
        std::string text(line);
        text += '\n';
        std::string_view rest = text;
        while (!rest.empty()) {
            const ssize_t sent = ::send(*connection, rest.data(), rest.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0) {
                corvane::logger("shell").warn("a control answer was not delivered: {}", std::strerror(errno));
                return false;
            }
            rest.remove_prefix(size_t(sent));
        }
        return true;
    };
}

void KVSingleInstance::answerControlRequest(int fd, const std::string& request) {
    ControlWriter write = writerFor(fd);
    if (m_controlHandler)
        m_controlHandler(request, std::move(write));
    else
        write(corvane::control::encodeAnswer(KVControlAnswer::refused("the configurator is starting")));
}

void KVSingleInstance::handleRequest(const std::string& request) {
    corvane::logger("shell").info("request from a later start: \"{}\"", request);
    if (request == "show")
        m_dispatch->post<KVM_SHOW_EDITOR>();
    else if (request.starts_with("open ") && request.size() > 5)
        m_dispatch->NotifyDispatchText(request.substr(5), KVM_OPEN_LAYERS_FILE);
    else if (request == "close")
        m_dispatch->Post(KVM_CLOSE);
    else
        corvane::logger("shell").warn("ignored an unknown request to the running configurator");
}
