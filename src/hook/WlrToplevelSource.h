#pragma once

#include "core/MainLoop.h"
#include "hook/DesktopSource.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

struct wl_display;
struct wl_registry;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

// wlroots compositors without sway's IPC (river, labwc, niri, Hyprland, wayfire...): the foreign-toplevel
// protocol that task bars use names every window's app id and tells which one is activated. It names no
// process, so the program is found through the desktop entry of that app id, and it says nothing of
// keyboard layouts.
class KVWlrToplevelSource final : public KVDesktopSource {
public:
    // nullptr when there is no Wayland display (`display` empty: $WAYLAND_DISPLAY) or it does not offer
    // the protocol.
    static std::unique_ptr<KVWlrToplevelSource> connect(KVMainLoop& loop, const std::string& display = {});
    ~KVWlrToplevelSource() override;
    KVWlrToplevelSource(const KVWlrToplevelSource&) = delete;
    KVWlrToplevelSource& operator=(const KVWlrToplevelSource&) = delete;

    const char* name() const override { return "the wlroots foreign-toplevel protocol"; }
    void start(Listener listener) override;
    std::vector<std::string> layouts() const override { return {}; }
    uint8_t layoutGroup() const override { return 0; }

    // One window as the compositor last described it; `pending` collects changes until "done".
    struct Toplevel {
        std::string appId;
        bool activated = false;
        std::string pendingAppId;
        std::optional<bool> pendingActivated;
    };
    struct Callbacks;

private:
    KVWlrToplevelSource(KVMainLoop& loop, wl_display* display);
    void readEvents();
    // Reports the activated window once the events that arrived together have all been applied, so a
    // switch from one window to another is one change, not two.
    void announce();

    KVMainLoop& m_loop;
    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::map<zwlr_foreign_toplevel_handle_v1*, Toplevel> m_toplevels;
    Listener m_listener;
    std::optional<KVMainLoop::WatchId> m_watch;
    std::optional<std::string> m_announced;
};
