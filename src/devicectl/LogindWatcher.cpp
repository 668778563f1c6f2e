#include "devicectl/LogindWatcher.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";

} // namespace

struct KVLogindWatcher::Callbacks {
    static int inhibitReply(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* watcher = static_cast<KVLogindWatcher*>(self);
        watcher->m_inhibitCall = sd_bus_slot_unref(watcher->m_inhibitCall);
        if (const sd_bus_error* error = sd_bus_message_get_error(message)) {
            corvane::logger("devicectl")
                .warn("session: logind will not wait for the keyboard: {}",
                      error->message ? error->message : "");
            return 0;
        }
        int fd = -1;
        if (sd_bus_message_read(message, "h", &fd) >= 0 && fd >= 0)
            watcher->inhibitorTaken(fd);
        return 0;
    }
    static int sessionReply(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* watcher = static_cast<KVLogindWatcher*>(self);
        watcher->m_sessionCall = sd_bus_slot_unref(watcher->m_sessionCall);
        const char* path = nullptr;
        if (const sd_bus_error* error = sd_bus_message_get_error(message))
            corvane::logger("devicectl")
                .info("session: not in a logind session ({}); locking is not noticed",
                      error->message ? error->message : "");
        else if (sd_bus_message_read(message, "o", &path) >= 0 && path)
            watcher->sessionFound(path);
        return 0;
    }
    static int lockWatched(sd_bus_message* message, void* self, sd_bus_error*) {
        static_cast<KVLogindWatcher*>(self)->m_sessionWatched =
            !sd_bus_message_is_method_error(message, nullptr);
        return 0;
    }
    static int locked(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<KVLogindWatcher*>(self)->m_dispatch.send<KVM_SESSION_CHANGE>(KV_SESSION_LOCK);
        return 0;
    }
    static int unlocked(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<KVLogindWatcher*>(self)->m_dispatch.send<KVM_SESSION_CHANGE>(KV_SESSION_UNLOCK);
        return 0;
    }
    static int prepareForSleep(sd_bus_message* message, void* self, sd_bus_error*) {
        int start = 0;
        if (sd_bus_message_read(message, "b", &start) >= 0)
            static_cast<KVLogindWatcher*>(self)->prepareForSleep(start != 0);
        return 0;
    }
    static int prepareForShutdown(sd_bus_message* message, void* self, sd_bus_error*) {
        int start = 0;
        if (sd_bus_message_read(message, "b", &start) >= 0)
            static_cast<KVLogindWatcher*>(self)->prepareForShutdown(start != 0);
        return 0;
    }
};

KVLogindWatcher::KVLogindWatcher(KVMainLoop& loop, CKVMessageDispatch& dispatch)
    : m_loop(loop), m_dispatch(dispatch) {}

KVLogindWatcher::~KVLogindWatcher() {
    stop();
}

void KVLogindWatcher::stop() {
    if (m_watch != 0)
        m_loop.unwatchFd(m_watch);
    m_watch = 0;
    m_inhibitCall = sd_bus_slot_unref(m_inhibitCall);
    m_sessionCall = sd_bus_slot_unref(m_sessionCall);
    m_lockSlot = sd_bus_slot_unref(m_lockSlot);
    m_unlockSlot = sd_bus_slot_unref(m_unlockSlot);
    m_sessionWatched = false;
    m_sleepSlot = sd_bus_slot_unref(m_sleepSlot);
    m_shutdownSlot = sd_bus_slot_unref(m_shutdownSlot);
    releaseInhibitor();
    if (m_bus)
        m_bus = sd_bus_flush_close_unref(m_bus);
}

bool KVLogindWatcher::Start(const std::string& busAddress) {
    stop();
    int result = 0;
    if (busAddress.empty()) {
        result = sd_bus_open_system(&m_bus);
    } else if ((result = sd_bus_new(&m_bus)) >= 0) {
        sd_bus_set_address(m_bus, busAddress.c_str());
        sd_bus_set_bus_client(m_bus, 1);
        result = sd_bus_start(m_bus);
    }
    if (result >= 0)
        result = sd_bus_match_signal(m_bus, &m_sleepSlot, kLogind, kManagerPath, kManager, "PrepareForSleep",
                                     &Callbacks::prepareForSleep, this);
    if (result >= 0)
        result = sd_bus_match_signal(m_bus, &m_shutdownSlot, kLogind, kManagerPath, kManager,
                                     "PrepareForShutdown", &Callbacks::prepareForShutdown, this);
    if (result < 0) {
        corvane::logger("devicectl")
            .warn("session: cannot listen to logind{}{}: {}; suspend is not noticed",
                  busAddress.empty() ? "" : " on ", busAddress, std::strerror(-result));
        stop();
        return false;
    }
    m_watch = m_loop.watchFd(sd_bus_get_fd(m_bus), KVMainLoop::Readable, [this](unsigned) { processBus(); });
    takeInhibitor();
    result =
        sd_bus_call_method_async(m_bus, &m_sessionCall, kLogind, kManagerPath, kManager, "GetSessionByPID",
                                 &Callbacks::sessionReply, this, "u", uint32_t(getpid()));
    if (result < 0)
        corvane::logger("devicectl")
            .info("session: cannot ask logind for this session: {}", std::strerror(-result));
    processBus();
    return true;
}

void KVLogindWatcher::processBus() {
    if (!m_bus)
        return;
    int result;
    while ((result = sd_bus_process(m_bus, nullptr)) > 0) {
    }
    if (result < 0) {
        corvane::logger("devicectl")
            .warn("session: lost the connection to logind: {}", std::strerror(-result));
        stop(); // both loops allow a watch to be removed from its own callback
        return;
    }
    sd_bus_flush(m_bus);
}

void KVLogindWatcher::takeInhibitor() {
    if (!m_bus || m_inhibitFd >= 0 || m_inhibitCall)
        return;
    const int result = sd_bus_call_method_async(m_bus, &m_inhibitCall, kLogind, kManagerPath, kManager,
                                                "Inhibit", &Callbacks::inhibitReply, this, "ssss",
                                                "sleep:shutdown", "Corvane configurator",
                                                "Giving the keyboard its own key codes back", "delay");
    if (result < 0)
        corvane::logger("devicectl")
            .warn("session: cannot ask logind to wait for the keyboard: {}", std::strerror(-result));
}

void KVLogindWatcher::releaseInhibitor() {
    if (m_inhibitFd >= 0)
        close(m_inhibitFd);
    m_inhibitFd = -1;
}

void KVLogindWatcher::inhibitorTaken(int fd) {
    // The message owns its descriptor; keep our own.
    releaseInhibitor();
    m_inhibitFd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

void KVLogindWatcher::sessionFound(const char* path) {
    // Unlock is asked for last; its answer says that both are in place.
    const int result =
        std::min(sd_bus_match_signal_async(m_bus, &m_lockSlot, kLogind, path, kSession, "Lock",
                                           &Callbacks::locked, nullptr, this),
                 sd_bus_match_signal_async(m_bus, &m_unlockSlot, kLogind, path, kSession, "Unlock",
                                           &Callbacks::unlocked, &Callbacks::lockWatched, this));
    if (result < 0)
        corvane::logger("devicectl")
            .info("session: cannot listen to the locking of {}: {}", path, std::strerror(-result));
}

void KVLogindWatcher::prepareForSleep(bool start) {
    if (start) {
        corvane::logger("devicectl").info("session: going to sleep; giving the keyboard back");
        m_dispatch.send<KVM_POWER>(KV_POWER_SUSPEND);
        releaseInhibitor();
    } else {
        corvane::logger("devicectl").info("session: woken up; taking the keyboard again");
        takeInhibitor();
        m_dispatch.send<KVM_POWER>(KV_POWER_RESUME_SUSPEND);
    }
}

void KVLogindWatcher::prepareForShutdown(bool start) {
    if (start) {
        corvane::logger("devicectl").info("session: the system shuts down; giving the keyboard back");
        m_dispatch.send<KVM_QUERY_END_SESSION>();
        m_dispatch.send<KVM_END_SESSION>(1);
        releaseInhibitor();
    } else {
        takeInhibitor();
        m_dispatch.send<KVM_END_SESSION>(0);
    }
}
