#include "devicectl/SessionIdle.h"

#include "core/Log.h"
#include "devicectl/SessionBusIdle.h"
#include "devicectl/WaylandIdle.h"
#include "devicectl/XScreenSaverIdle.h"

#include <cstdlib>

KVPtr<IKVIdleSource> openSessionIdleSource(KVMainLoop& loop) {
    auto& log = corvane::logger("devicectl");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) {
        auto x11 = KVXScreenSaverIdle::open();
        if (x11)
            log.info("idle time from the X server's screen-saver extension");
        return x11;
    }
    // Xwayland's idle time counts only input into X windows, so on Wayland it is never asked.
    if (auto idle = KVWaylandIdle::open(loop)) {
        log.info("idle time from the Wayland compositor's idle notices");
        return idle;
    }
    if (auto idle = KVSessionBusIdle::open()) {
        log.info("idle time from {} on the session bus", idle->name());
        return idle;
    }
    log.warn("idle time: this Wayland session offers no idle-notify protocol, GNOME idle monitor or "
             "screen-saver service; the keyboard never counts as idle");
    return {};
}
