#include "devicectl/LogindWatcher.h"

#include "core/MessageDispatch.h"
#include "support/ManualLoop.h"
#include "support/TestBus.h"

#include <algorithm>
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

// logind as far as the watcher uses it, and a record of each power and session message with whether
// logind still waited for us while it was handled. Inhibit keeps the read end of the lock it hands out, so
// the test sees when the lock is let go.
struct FakeLogind {
    FakeLogind(KVMainLoop& loop, CKVMessageDispatch& dispatch, const std::string& address)
        : loop(loop), dispatch(dispatch) {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogind::inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("GetSessionByPID", "u", "o", &FakeLogind::sessionByPid, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        ok = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
             sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
             sd_bus_add_object_vtable(bus, nullptr, kManagerPath, kManager, vtable, this) >= 0 &&
             sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
        if (ok)
            watch = loop.watchFd(sd_bus_get_fd(bus), KVMainLoop::Readable, [this](unsigned) {
                while (sd_bus_process(bus, nullptr) > 0) {
                }
                sd_bus_flush(bus);
            });
        dispatch.RegisterHandler<KVM_POWER>(this, &FakeLogind::onPower);
        dispatch.RegisterHandler<KVM_QUERY_END_SESSION>(this, &FakeLogind::onQuery);
        dispatch.RegisterHandler<KVM_END_SESSION>(this, &FakeLogind::onEnd);
        dispatch.RegisterHandler<KVM_SESSION_CHANGE>(this, &FakeLogind::onSessionChange);
    }
    ~FakeLogind() {
        dispatch.UnregisterHandlers(this);
        if (watch)
            loop.unwatchFd(watch);
        for (int fd : inhibitors)
            close(fd);
        sd_bus_flush_close_unref(bus);
    }
    // A manager's signal with its flag, or the session's without one.
    void emit(const char* signal, int start = -1) {
        if (start < 0)
            sd_bus_emit_signal(bus, kSessionPath, "org.freedesktop.login1.Session", signal, "");
        else
            sd_bus_emit_signal(bus, kManagerPath, kManager, signal, "b", start);
        sd_bus_flush(bus);
    }
    // Inhibitor locks handed out and not yet let go.
    size_t heldLocks() const {
        return std::ranges::count_if(inhibitors, [](int fd) {
            pollfd state{fd, POLLIN, 0};
            return poll(&state, 1, 0) == 0;
        });
    }

    void onPower(unsigned event) { record("power " + std::to_string(event)); }
    void onQuery() { record("query end"); }
    void onEnd(unsigned ending) { record("end " + std::to_string(ending)); }
    void onSessionChange(unsigned event) { events.push_back("session " + std::to_string(event)); }
    void record(const std::string& event) { events.push_back(event + (heldLocks() == 1 ? " (held)" : "")); }

    static int sessionByPid(sd_bus_message* message, void*, sd_bus_error*) {
        return sd_bus_reply_method_return(message, "o", kSessionPath);
    }
    static int inhibit(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* fake = static_cast<FakeLogind*>(self);
        const char *what, *who, *why, *mode;
        int fds[2];
        if (sd_bus_message_read(message, "ssss", &what, &who, &why, &mode) < 0 || pipe2(fds, O_CLOEXEC) != 0)
            return -EINVAL;
        fake->inhibitWhat = std::string(what) + " " + mode;
        fake->inhibitors.push_back(fds[0]);
        const int result = sd_bus_reply_method_return(message, "h", fds[1]);
        close(fds[1]);
        return result;
    }

    KVMainLoop& loop;
    CKVMessageDispatch& dispatch;
    sd_bus* bus = nullptr;
    bool ok = false;
    KVMainLoop::WatchId watch = 0;
    std::vector<int> inhibitors;
    std::string inhibitWhat;
    std::vector<std::string> events;
};

} // namespace

TEST(LogindWatcher, SleepShutdownAndLockingBecomePowerAndSessionMessages) {
    TestBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << "no dbus-daemon";
    KVManualLoop loop;
    CKVMessageDispatch dispatch(loop);
    FakeLogind logind(loop, dispatch, bus.address());
    ASSERT_TRUE(logind.ok);

    KVLogindWatcher watcher(loop, dispatch);
    ASSERT_TRUE(watcher.Start(bus.address()));
    ASSERT_TRUE(loop.runUntil([&] { return watcher.HoldsInhibitor() && watcher.WatchesSessionLock(); }, 5s));
    EXPECT_EQ(logind.inhibitWhat, "sleep:shutdown delay");
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
        logind.events.clear();
        logind.emit(signal, start);
        ASSERT_TRUE(loop.runUntil(
            [&] { return logind.events.size() == events.size() && watcher.HoldsInhibitor() != start; }, 5s));
        EXPECT_EQ(logind.events, events);
        EXPECT_EQ(logind.heldLocks(), start ? 0u : 1u); // the machine may sleep or stop now
    }

    logind.events.clear();
    logind.emit("Lock");
    logind.emit("Unlock");
    ASSERT_TRUE(loop.runUntil([&] { return logind.events.size() == 2; }, 5s));
    EXPECT_EQ(logind.events, (std::vector<std::string>{"session 7", "session 8"}));

    KVLogindWatcher unreachable(loop, dispatch); // reported, not fatal
    EXPECT_FALSE(unreachable.Start("unix:path=/nonexistent/corvane-bus"));
}
