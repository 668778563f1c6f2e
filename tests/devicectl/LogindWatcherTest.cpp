#include "devicectl/LogindWatcher.h"

#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"
#include "support/TestBus.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// logind as far as the watcher uses it: Inhibit hands out a descriptor (the read end stays here, so the
// test sees when the lock is let go), and the two signals.
class FakeLogind {
public:
    FakeLogind(KVMainLoop& loop, const std::string& address) : m_loop(loop) {
        sd_bus_new(&m_bus);
        sd_bus_set_address(m_bus, address.c_str());
        sd_bus_set_bus_client(m_bus, 1);
        m_ok = sd_bus_start(m_bus) >= 0 &&
               sd_bus_add_object_vtable(m_bus, nullptr, "/org/freedesktop/login1",
                                        "org.freedesktop.login1.Manager", vtable(), this) >= 0 &&
               sd_bus_request_name(m_bus, "org.freedesktop.login1", 0) >= 0;
        if (m_ok)
            m_watch =
                loop.watchFd(sd_bus_get_fd(m_bus), KVMainLoop::Readable, [this](unsigned) { process(); });
    }
    ~FakeLogind() {
        if (m_watch)
            m_loop.unwatchFd(m_watch);
        for (int fd : inhibitors)
            close(fd);
        sd_bus_flush_close_unref(m_bus);
    }
    bool ok() const { return m_ok; }

    static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/c1";
    void emitSession(const char* signal) {
        sd_bus_emit_signal(m_bus, kSessionPath, "org.freedesktop.login1.Session", signal, "");
        sd_bus_flush(m_bus);
    }
    void emit(const char* signal, bool start) {
        sd_bus_emit_signal(m_bus, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", signal, "b",
                           int(start));
        sd_bus_flush(m_bus);
    }
    // Inhibitor locks handed out and not yet let go.
    size_t heldLocks() const {
        size_t held = 0;
        for (int fd : inhibitors) {
            pollfd state{fd, POLLIN, 0};
            held += poll(&state, 1, 0) == 0;
        }
        return held;
    }
    std::vector<int> inhibitors;
    std::string inhibitWhat, inhibitMode;

private:
    void process() {
        while (sd_bus_process(m_bus, nullptr) > 0) {
        }
        sd_bus_flush(m_bus);
    }
    static int sessionByPid(sd_bus_message* message, void*, sd_bus_error*) {
        return sd_bus_reply_method_return(message, "o", kSessionPath);
    }
    static int inhibit(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* fake = static_cast<FakeLogind*>(self);
        const char *what, *who, *why, *mode;
        if (sd_bus_message_read(message, "ssss", &what, &who, &why, &mode) < 0)
            return -EINVAL;
        fake->inhibitWhat = what;
        fake->inhibitMode = mode;
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return -errno;
        fake->inhibitors.push_back(fds[0]);
        const int result = sd_bus_reply_method_return(message, "h", fds[1]);
        close(fds[1]);
        return result;
    }
    static const sd_bus_vtable* vtable() {
        static const sd_bus_vtable table[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogind::inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("GetSessionByPID", "u", "o", &FakeLogind::sessionByPid, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
            SD_BUS_SIGNAL("PrepareForShutdown", "b", 0),
            SD_BUS_VTABLE_END};
        return table;
    }

    KVMainLoop& m_loop;
    sd_bus* m_bus = nullptr;
    bool m_ok = false;
    KVMainLoop::WatchId m_watch = 0;
};

struct PowerRecorder {
    explicit PowerRecorder(CKVMessageDispatch& dispatch) : dispatch(dispatch) {
        dispatch.RegisterHandler<KVM_POWER>(this, &PowerRecorder::onPower);
        dispatch.RegisterHandler<KVM_QUERY_END_SESSION>(this, &PowerRecorder::onQuery);
        dispatch.RegisterHandler<KVM_END_SESSION>(this, &PowerRecorder::onEnd);
        dispatch.RegisterHandler<KVM_SESSION_CHANGE>(this, &PowerRecorder::onSessionChange);
    }
    ~PowerRecorder() { dispatch.UnregisterHandlers(this); }
    void onPower(unsigned event) { events.push_back("power " + std::to_string(event) + held()); }
    void onQuery() { events.push_back("query end" + held()); }
    void onEnd(unsigned ending) { events.push_back("end " + std::to_string(ending) + held()); }
    void onSessionChange(unsigned event) { events.push_back("session " + std::to_string(event)); }
    // Whether logind still waits for us while the handler runs.
    std::string held() const { return logind && logind->heldLocks() == 1 ? " (held)" : ""; }

    CKVMessageDispatch& dispatch;
    const FakeLogind* logind = nullptr;
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
    PowerRecorder recorder(dispatch);
    recorder.logind = &logind;

    KVLogindWatcher watcher(loop, dispatch);
    ASSERT_TRUE(watcher.Start(bus.address()));
    ASSERT_TRUE(loop.runUntil([&] { return watcher.HoldsInhibitor(); }, 5s));
    EXPECT_EQ(logind.inhibitWhat, "sleep:shutdown");
    EXPECT_EQ(logind.inhibitMode, "delay");
    EXPECT_EQ(logind.heldLocks(), 1u);

    logind.emit("PrepareForSleep", true);
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 1; }, 5s));
    EXPECT_EQ(recorder.events.back(), "power 4 (held)");
    EXPECT_FALSE(watcher.HoldsInhibitor());
    EXPECT_EQ(logind.heldLocks(), 0u); // the machine may sleep now

    logind.emit("PrepareForSleep", false);
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 2 && watcher.HoldsInhibitor(); }, 5s));
    EXPECT_EQ(recorder.events.back(), "power 7");

    logind.emit("PrepareForShutdown", true);
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 4; }, 5s));
    EXPECT_EQ(recorder.events[2], "query end (held)");
    EXPECT_EQ(recorder.events[3], "end 1 (held)");
    EXPECT_EQ(logind.heldLocks(), 0u);

    logind.emit("PrepareForShutdown", false);
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 5 && watcher.HoldsInhibitor(); }, 5s));
    EXPECT_EQ(recorder.events.back(), "end 0");

    ASSERT_TRUE(loop.runUntil([&] { return watcher.WatchesSessionLock(); }, 5s));
    logind.emitSession("Lock");
    logind.emitSession("Unlock");
    ASSERT_TRUE(loop.runUntil([&] { return recorder.events.size() == 7; }, 5s));
    EXPECT_EQ(recorder.events[5], "session 7");
    EXPECT_EQ(recorder.events[6], "session 8");
}

TEST(LogindWatcher, AnUnreachableBusIsReportedNotFatal) {
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    KVLogindWatcher watcher(loop, dispatch);
    EXPECT_FALSE(watcher.Start("unix:path=/nonexistent/corvane-bus"));
    EXPECT_FALSE(watcher.HoldsInhibitor());
}
