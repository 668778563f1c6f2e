#include "hook/ProcessWatcher.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <linux/cn_proc.h>
#include <linux/connector.h>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How long the process connector may take to report our own probe before we stop trusting it
// (it delivers nothing, for example, inside a network namespace other than the first).
constexpr std::chrono::milliseconds kNetlinkProbeTimeout{1500};

// The subscription request: a netlink header, a connector header and the listen operation.
constexpr size_t kListenLength = NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_cn_mcast_op));

} // namespace

KVProcessWatcher::KVProcessWatcher(KVMainLoop& loop, std::string procRoot)
    : m_loop(loop), m_procRoot(std::move(procRoot)) {}

KVProcessWatcher::~KVProcessWatcher() {
    stop();
}

void KVProcessWatcher::start(CKVMessageDispatch& dispatch, bool preferNetlink) {
    if (m_dispatch)
        return;
    m_dispatch = &dispatch;
    if (preferNetlink && openNetlink()) {
        m_source = Source::Netlink;
        // Prove that events arrive: a child that ends at once must be reported.
        m_probeSeen = false;
        m_probe = ::fork();
        if (m_probe == 0)
            ::_exit(0);
        if (m_probe > 0) {
            ::waitpid(m_probe, nullptr, 0);
            const pid_t probe = m_probe;
            m_timer = m_loop.addTimer(kNetlinkProbeTimeout, false, [this, probe] { confirmNetlink(probe); });
            return;
        }
        corvane::logger("hook").warn("cannot start a probe process ({}); watching processes through /proc",
                                     std::strerror(errno));
        closeNetlink();
    }
    startScan();
}

void KVProcessWatcher::closeNetlink() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    m_watch.reset();
    if (m_netlink >= 0)
        ::close(m_netlink);
    m_netlink = -1;
}

void KVProcessWatcher::stop() {
    closeNetlink();
    if (m_timer)
        m_loop.cancelTimer(*m_timer);
    m_timer.reset();
    m_dispatch = nullptr;
    m_source = Source::None;
}

bool KVProcessWatcher::openNetlink() {
    m_netlink = ::socket(PF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_CONNECTOR);
    if (m_netlink < 0) {
        corvane::logger("hook").info("process connector unavailable ({}); watching processes through /proc",
                                     std::strerror(errno));
        return false;
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = CN_IDX_PROC;
    alignas(nlmsghdr) char request[NLMSG_SPACE(sizeof(cn_msg) + sizeof(proc_cn_mcast_op))] = {};
    auto* header = reinterpret_cast<nlmsghdr*>(request);
    header->nlmsg_len = kListenLength;
    header->nlmsg_type = NLMSG_DONE;
    auto* connector = static_cast<cn_msg*>(NLMSG_DATA(header));
    connector->id.idx = CN_IDX_PROC;
    connector->id.val = CN_VAL_PROC;
    connector->len = sizeof(proc_cn_mcast_op);
    const proc_cn_mcast_op listen = PROC_CN_MCAST_LISTEN;
    std::memcpy(connector->data, &listen, sizeof listen);
    if (::bind(m_netlink, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        ::send(m_netlink, request, kListenLength, 0) < 0) {
        corvane::logger("hook").info("process connector refused ({}); watching processes through /proc",
                                     std::strerror(errno));
        closeNetlink();
        return false;
    }
    m_watch = m_loop.watchFd(m_netlink, KVMainLoop::Readable, [this](unsigned) { readNetlink(); });
    return true;
}

void KVProcessWatcher::readNetlink() {
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t length = ::recv(m_netlink, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == ENOBUFS)
                corvane::logger("hook").warn(
                    "process connector overflowed: some process starts or ends were missed");
            else if (errno != EAGAIN && errno != EINTR)
                corvane::logger("hook").error("reading the process connector failed: {}",
                                              std::strerror(errno));
            return;
        }
        int remaining = int(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_event)))
                continue;
            const auto* connector = static_cast<const cn_msg*>(NLMSG_DATA(header));
            proc_event event;
            std::memcpy(&event, connector->data, sizeof event);
            if (event.what == proc_event::PROC_EVENT_EXEC) {
                // A program starts to run at exec; a bare fork is still its parent's program.
                if (event.event_data.exec.process_pid == event.event_data.exec.process_tgid)
                    report(true, event.event_data.exec.process_pid);
            } else if (event.what == proc_event::PROC_EVENT_EXIT) {
                const pid_t pid = event.event_data.exit.process_pid;
                if (pid != event.event_data.exit.process_tgid)
                    continue; // a thread, not a process
                if (pid == m_probe) {
                    m_probeSeen = true;
                    continue;
                }
                report(false, pid);
            }
        }
    }
}

void KVProcessWatcher::confirmNetlink(pid_t probe) {
    m_timer.reset();
    if (probe != m_probe || m_source != Source::Netlink)
        return;
    if (m_probeSeen) {
        corvane::logger("hook").debug("watching processes through the process connector");
        return;
    }
    corvane::logger("hook").info(
        "the process connector reports nothing here; watching processes through /proc");
    closeNetlink();
    startScan();
}

void KVProcessWatcher::startScan() {
    m_source = Source::ProcScan;
    m_known.clear();
    scan(false);
    m_timer = m_loop.addTimer(kScanInterval, true, [this] { scan(true); });
}

void KVProcessWatcher::scan(bool reportChanges) {
    std::set<pid_t> now;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_procRoot, error)) {
        const std::string name = entry.path().filename().string();
        pid_t pid = 0;
        auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (ec == std::errc() && end == name.data() + name.size())
            now.insert(pid);
    }
    if (error) {
        corvane::logger("hook").error("cannot list {}: {}", m_procRoot, error.message());
        return;
    }
    if (reportChanges) {
        for (pid_t pid : m_known)
            if (!now.count(pid))
                report(false, pid);
        for (pid_t pid : now)
            if (!m_known.count(pid))
                report(true, pid);
    }
    m_known.swap(now);
}

void KVProcessWatcher::report(bool started, pid_t pid) {
    if (m_dispatch)
        m_dispatch->send<KVM_PROCESS_EVENT>(started ? 1u : 0u, long(pid));
}
