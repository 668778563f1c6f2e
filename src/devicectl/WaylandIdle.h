#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "devicectl/IdleSource.h"

#include <chrono>
#include <optional>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;

// The session's idle time from a Wayland compositor that offers the idle-notify protocol. The compositor
// only says when the user has been away for a set time and when they are back, so the time is counted
// from a short first notice: it reads 0 until then, and is exact from there on.
class KVWaylandIdle final : public IKVIdleSource {
public:
    // How long without input before the compositor sends its notice.
    static constexpr std::chrono::milliseconds kNotice{1000};

    // Connects to `display` (empty: $WAYLAND_DISPLAY). Empty without a display or without the protocol.
    static KVPtr<KVWaylandIdle> open(KVMainLoop& loop, const std::string& display = {});
    ~KVWaylandIdle() override;
    KVWaylandIdle(const KVWaylandIdle&) = delete;
    KVWaylandIdle& operator=(const KVWaylandIdle&) = delete;

    std::optional<std::chrono::milliseconds> IdleTime() override;

    struct Callbacks;

private:
    KVWaylandIdle(KVMainLoop& loop, wl_display* display);
    void readEvents();

    KVMainLoop& m_loop;
    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    ext_idle_notifier_v1* m_notifier = nullptr;
    ext_idle_notification_v1* m_notification = nullptr;
    std::optional<KVMainLoop::WatchId> m_watch;
    // When the compositor said the user had gone; empty while they are active.
    std::optional<std::chrono::steady_clock::time_point> m_idleSince;
    bool m_lost = false;
};
