// The idle time from a compositor's idle notices, against a small compositor of the test's own that
// offers a seat and the idle-notify protocol and sends its notices when the test says.

#include "devicectl/WaylandIdle.h"

#include "support/ManualLoop.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <atomic>
#include <ext-idle-notify-v1-server-protocol.h>
#include <gtest/gtest.h>
#include <thread>
#include <wayland-server.h>

using namespace std::chrono_literals;

namespace {

class FakeCompositor {
public:
    explicit FakeCompositor(bool offerIdleNotify) : m_display(wl_display_create()) {
        const char* socket = wl_display_add_socket_auto(m_display);
        m_socket = socket ? socket : "";
        wl_global_create(m_display, &wl_seat_interface, 1, this, &bindSeat);
        if (offerIdleNotify)
            wl_global_create(m_display, &ext_idle_notifier_v1_interface, 1, this, &bindNotifier);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeCompositor() {
        m_stop = true;
        m_thread.join();
        wl_display_destroy_clients(m_display);
        wl_display_destroy(m_display);
    }
    const std::string& socket() const { return m_socket; }
    // The timeout the client asked to be told after; 0 until it asked.
    uint32_t requestedTimeout() const { return m_timeout; }
    // Sends the notice on the compositor's thread.
    void notice(bool idle) { m_notice = idle ? Idled : Resumed; }

private:
    enum Notice { None, Idled, Resumed };
    void serve() {
        wl_event_loop* loop = wl_display_get_event_loop(m_display);
        while (!m_stop) {
            wl_event_loop_dispatch(loop, 20);
            if (const Notice notice = m_notice.exchange(None); notice != None)
                (notice == Idled ? ext_idle_notification_v1_send_idled
                                 : ext_idle_notification_v1_send_resumed)(m_notification);
            wl_display_flush_clients(m_display);
        }
    }

    static void destroy(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }
    static void bindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
        // The client never asks the seat for devices; it only names it.
        wl_resource_create(client, &wl_seat_interface, int(version), id);
    }
    static void getNotification(wl_client* client, wl_resource* notifier, uint32_t id, uint32_t timeout,
                                wl_resource*) {
        auto* self = static_cast<FakeCompositor*>(wl_resource_get_user_data(notifier));
        self->m_notification = wl_resource_create(client, &ext_idle_notification_v1_interface, 1, id);
        static const struct ext_idle_notification_v1_interface notification { &destroy };
        wl_resource_set_implementation(self->m_notification, &notification, self, nullptr);
        self->m_timeout = timeout;
    }
    static void bindNotifier(wl_client* client, void* data, uint32_t, uint32_t id) {
        wl_resource* resource = wl_resource_create(client, &ext_idle_notifier_v1_interface, 1, id);
        static const struct ext_idle_notifier_v1_interface notifier { &destroy, &getNotification };
        wl_resource_set_implementation(resource, &notifier, data, nullptr);
    }

    wl_display* m_display;
    std::string m_socket;
    wl_resource* m_notification = nullptr;
    std::atomic<uint32_t> m_timeout{0};
    std::atomic<bool> m_stop{false};
    std::atomic<Notice> m_notice{None};
    std::thread m_thread;
};

TEST(WaylandIdle, IdleTimeCountsFromTheNoticeAndEndsWithInputOrTheCompositor) {
    TempDir runtime;
    ScopedEnvironment env;
    env.set("XDG_RUNTIME_DIR", runtime.path().string());
    KVManualLoop loop;
    auto compositor = std::make_unique<FakeCompositor>(true);
    ASSERT_FALSE(compositor->socket().empty());
    auto idle = KVWaylandIdle::open(loop, compositor->socket());
    ASSERT_TRUE(idle);
    ASSERT_TRUE(loop.runUntil([&] { return compositor->requestedTimeout() != 0; }, 10s));
    EXPECT_EQ(compositor->requestedTimeout(), uint32_t(KVWaylandIdle::kNotice.count()));
    EXPECT_EQ(idle->IdleTime(), 0ms) << "active until the compositor says otherwise";

    compositor->notice(true);
    ASSERT_TRUE(loop.runUntil([&] { return idle->IdleTime() > 0ms; }, 10s));
    // The notice comes after the time asked for, which counts too.
    EXPECT_GE(*idle->IdleTime(), KVWaylandIdle::kNotice);
    compositor->notice(false);
    EXPECT_TRUE(loop.runUntil([&] { return idle->IdleTime() == 0ms; }, 10s));

    // Without its compositor the session cannot say any more.
    compositor.reset();
    EXPECT_TRUE(loop.runUntil([&] { return !idle->IdleTime(); }, 10s));

    // A compositor without the protocol, or none at all, is no source.
    EXPECT_FALSE(KVWaylandIdle::open(loop, FakeCompositor(false).socket()));
    EXPECT_FALSE(KVWaylandIdle::open(loop, "wayland-nonexistent"));
}

} // namespace
