#include "devicectl/LogindWatcher.h"

#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"
#include "support/TestBus.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kSessionPath = "/org/freedesktop/login1/session/c1";

// logind as far as the watcher uses it: Inhibit hands out a descriptor (the read end stays here, so the
// test sees when the lock is let go), and the signals.
class FakeLogind {
public:
    FakeLogind(KVMainLoop& loop, const std::string& address) : m_loop(loop) {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogind::inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("GetSessionByPID", "u", "o", &FakeLogind::sessionByPid, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
            SD_BUS_SIGNAL("PrepareForShutdown", "b", 0),
            SD_BUS_VTABLE_END};
        sd_bus_new(&m_bus);
        sd_bus_set_address(m_bus, address.c_str());
        sd_bus_set_bus_client(m_bus, 1);
        m_ok = sd_bus_start(m_bus) >= 0 &&
               sd_bus_add_object_vtable(m_bus, nullptr, kManagerPath, kManager, vtable, this) >= 0 &&
               sd_bus_request_name(m_bus, "org.freedesktop.login1", 0) >= 0;
        if (m_ok)
            m_watch = loop.watchFd(sd_bus_get_fd(m_bus), KVMainLoop::Readable, [this](unsigned) {
                while (sd_bus_process(m_bus, nullptr) > 0) {
                }
                sd_bus_flush(m_bus);
            });
    }
    ~FakeLogind() {
        if (m_watch)
            m_loop.unwatchFd(m_watch);
        for (int fd : m_inhibitors)
            close(fd);
        sd_bus_flush_close_unref(m_bus);
    }
    bool ok() const { return m_ok; }

    void emitSession(const char* signal) { emit(kSessionPath, "org.freedesktop.login1.Session", signal, ""); }
    void emitManager(const char* signal, bool start) {
        emit(kManagerPath, kManager, signal, "b", int(start));
    }
    // Inhibitor locks handed out and not yet let go.
    size_t heldLocks() const {
        return std::count_if(m_inhibitors.begin(), m_inhibitors.end(), [](int fd) {
            pollfd state{fd, POLLIN, 0};
            return poll(&state, 1, 0) == 0;
        });
    }
    std::string inhibitWhat, inhibitMode;

private:
    template <typename... Args>
    void emit(const char* path, const char* interface, const char* signal, Args... args) {
        sd_bus_emit_signal(m_bus, path, interface, signal, args...);
        sd_bus_flush(m_bus);
    }
    static int sessionByPid(sd_bus_message* message, void*, sd_bus_error*) {
        return sd_bus_reply_method_return(message, "o", kSessionPath);
    }
    static int inhibit(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* fake = static_cast<FakeLogind*>(self);
        const char *what, *who, *why, *mode;
        int fds[2];
        if (sd_bus_message_read(message, "ssss", &what, &who, &why, &mode) < 0 || pipe2(fds, O_CLOEXEC) != 0)
            return -EINVAL;
        fake->inhibitWhat = what;
        fake->inhibitMode = mode;
        fake->m_inhibitors.push_back(fds[0]);
        const int result = sd_bus_reply_method_return(message, "h", fds[1]);
        close(fds[1]);
        return result;
    }

    KVMainLoop& m_loop;
    sd_bus* m_bus = nullptr;
    bool m_ok = false;
    KVMainLoop::WatchId m_watch = 0;
    std::vector<int> m_inhibitors;
};

// Each power and session message, and whether logind still waited for us while it was handled.
struct PowerRecorder {
    PowerRecorder(CKVMessageDispatch& dispatch, const FakeLogind& logind)
        : dispatch(dispatch), logind(logind) {
        dispatch.RegisterHandler<KVM_POWER>(this, &PowerRecorder::onPower);
        dispatch.RegisterHandler<KVM_QUERY_END_SESSION>(this, &PowerRecorder::onQuery);
        dispatch.RegisterHandler<KVM_END_SESSION>(this, &PowerRecorder::onEnd);
        dispatch.RegisterHandler<KVM_SESSION_CHANGE>(this, &PowerRecorder::onSessionChange);
    }
    ~PowerRecorder() { dispatch.UnregisterHandlers(this); }
    void onPower(unsigned event) { record("power " + std::to_string(event)); }
    void onQuery() { record("query end"); }
    void onEnd(unsigned ending) { record("end " + std::to_string(ending)); }
    void onSessionChange(unsigned event) { events.push_back("session " + std::to_string(event)); }
    void record(std::string event) { events.push_back(event + (logind.heldLocks() == 1 ? " (held)" : "")); }

    CKVMessageDispatch& dispatch;
    const FakeLogind& logind;
    std::vector<std::string> events;
};

} // namespace

TEST(LogindWatcher, SleepShutdownAndLockingBecomePowerAndSessionMessages) {
    TestBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << "no dbus-daemon";
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    FakeLogind logind(loop, bus.address());
    ASSERT_TRUE(logind.ok());
    PowerRecorder recorder(dispatch, logind);

    KVLogindWatcher watcher(loop, dispatch);
    ASSERT_TRUE(watcher.Start(bus.address()));
    ASSERT_TRUE(loop.runUntil([&] { return watcher.HoldsInhibitor() && watcher.WatchesSessionLock(); }, 5s));
    EXPECT_EQ(logind.inhibitWhat, "sleep:shutdown");
    EXPECT_EQ(logind.inhibitMode, "delay");
    EXPECT_EQ(logind.heldLocks(), 1u);

    // Going to sleep or shutting down is handled while logind waits, and the lock is let go after; back
    // again (or called off), the lock is taken again.
    const struct {
        const char* signal;
        bool start;
        std::vector<std::string> events;
    } steps[] = {
        {"PrepareForSleep", true, {"power 4 (held)"}},
        {"PrepareForSleep", false, {"power 7"}},
        {"PrepareForShutdown", true, {"query end (held)", "end 1 (held)"}},
        {"PrepareForShutdown", false, {"end 0"}},
    };
    for (const auto& [signal, start, events] : steps) {
        SCOPED_TRACE(std::string(signal) + (start ? " starts" : " ends"));
        recorder.events.clear();
        logind.emitManager(signal, start);
        ASSERT_TRUE(loop.runUntil(
            [&] { return recorder.events.size() == events.size() && watcher.HoldsInhibitor() != start; },
            5s));
        EXPECT_EQ(recorder.events, events);
        EXPECT_EQ(logind.heldLocks(), start ? 0u : 1u); // the machine may sleep or stop now
    }

    recorder.events.clear();
    logind.emitSession("Lock");
    logind.emitSession("Unlock");
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 2; }, 5s));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"session 7", "session 8"}));

    KVLogindWatcher unreachable(loop, dispatch); // reported, not fatal
    EXPECT_FALSE(unreachable.Start("unix:path=/nonexistent/corvane-bus"));
    EXPECT_FALSE(unreachable.HoldsInhibitor());
}
