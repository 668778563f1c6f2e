#include "devicectl/WaylandIdle.h"

#include "core/Log.h"

#include <cerrno>
#include <cstring>
#include <ext-idle-notify-v1-client-protocol.h>
#include <wayland-client.h>

namespace {

auto& log() {
    return corvane::logger("devicectl");
}

} // namespace

struct KVWaylandIdle::Callbacks {
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto& self = *static_cast<KVWaylandIdle*>(data);
        if (!self.m_notifier && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
            self.m_notifier = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        // Every seat's input counts in practice; the first one is the session's keyboard and pointer.
        else if (!self.m_seat && std::strcmp(interface, wl_seat_interface.name) == 0)
            self.m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}

    static void idled(void* data, ext_idle_notification_v1*) {
        static_cast<KVWaylandIdle*>(data)->m_idleSince = std::chrono::steady_clock::now() - kNotice;
    }
    static void resumed(void* data, ext_idle_notification_v1*) {
        static_cast<KVWaylandIdle*>(data)->m_idleSince.reset();
    }
};

KVPtr<KVWaylandIdle> KVWaylandIdle::open(KVMainLoop& loop, const std::string& display) {
    wl_display* connection = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (!connection) {
        log().info("idle time: no Wayland display: {}", std::strerror(errno));
        return {};
    }
    KVPtr<KVWaylandIdle> idle(new KVWaylandIdle(loop, connection));
    idle->m_registry = wl_display_get_registry(connection);
    static const wl_registry_listener registryListener{&Callbacks::global, &Callbacks::globalRemove};
    wl_registry_add_listener(idle->m_registry, &registryListener, idle.get());
    if (wl_display_roundtrip(connection) < 0 || !idle->m_notifier || !idle->m_seat) {
        log().info("idle time: the Wayland compositor does not offer the idle-notify protocol");
        return {};
    }
    idle->m_notification =
        ext_idle_notifier_v1_get_idle_notification(idle->m_notifier, uint32_t(kNotice.count()), idle->m_seat);
    static const ext_idle_notification_v1_listener listener{&Callbacks::idled, &Callbacks::resumed};
    ext_idle_notification_v1_add_listener(idle->m_notification, &listener, idle.get());
    wl_display_flush(connection);
    KVWaylandIdle* self = idle.get();
    idle->m_watch = loop.watchFd(wl_display_get_fd(connection), KVMainLoop::Readable,
                                 [self](unsigned) { self->readEvents(); });
    return idle;
}

KVWaylandIdle::KVWaylandIdle(KVMainLoop& loop, wl_display* display) : m_loop(loop), m_display(display) {}

KVWaylandIdle::~KVWaylandIdle() {
    if (m_watch)
        m_loop.unwatchFd(*m_watch);
    if (m_notification)
        ext_idle_notification_v1_destroy(m_notification);
    if (m_notifier)
        ext_idle_notifier_v1_destroy(m_notifier);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void KVWaylandIdle::readEvents() {
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        log().error("idle time: lost the Wayland display ({}); the keyboard no longer counts as idle",
                    std::strerror(wl_display_get_error(m_display)));
        m_loop.unwatchFd(*m_watch);
        m_watch.reset();
        m_lost = true;
    }
}

std::optional<std::chrono::milliseconds> KVWaylandIdle::IdleTime() {
    if (m_lost)
        return std::nullopt;
    if (!m_idleSince)
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 *m_idleSince);
}
