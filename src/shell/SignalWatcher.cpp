#include "shell/SignalWatcher.h"

#include "core/Log.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void KVSignalWatcher::blockTerminationSignals() {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

KVSignalWatcher::KVSignalWatcher(KVMainLoop& loop, std::function<void(int)> onSignal)
    : m_loop(loop), m_onSignal(std::move(onSignal)) {
    const sigset_t set = terminationSignals();
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        corvane::logger("shell").error("cannot watch termination signals: {}", std::strerror(errno));
        return;
    }
    m_watch = m_loop.watchFd(m_fd, KVMainLoop::Readable, [this](unsigned) { readSignals(); });
}

KVSignalWatcher::~KVSignalWatcher() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    if (m_fd >= 0)
        ::close(m_fd);
}

void KVSignalWatcher::readSignals() {
    signalfd_siginfo info;
    while (::read(m_fd, &info, sizeof info) == sizeof info) {
        corvane::logger("shell").info("received {}, ending", strsignal(int(info.ssi_signo)));
        m_onSignal(int(info.ssi_signo));
    }
}
