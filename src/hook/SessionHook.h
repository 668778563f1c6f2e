#pragma once

#include "hook/DesktopSource.h"
#include "hook/ProcessWatcher.h"
#include "hook/SystemHook.h"
#include "hook/X11Session.h"

#include <deque>
#include <memory>

// The hook of a real desktop session: on Wayland the compositor's or desktop's own source of the focused
// program and the layout, else the X11 session (active window, keyboard state) when there is a display;
// and the process watcher always.
class KVSessionHook final : public IKVSystemHook {
public:
    // Names the Wayland source to use instead of the first that the session offers: "sway",
    // "hyprland", "kde-gnome" or "foreign-toplevel".
    static constexpr const char* kForcedSourceVariable = "CORVANE_FOREGROUND_SOURCE";

    explicit KVSessionHook(KVMainLoop& loop);
    ~KVSessionHook() override;

    void Hook(CKVMessageDispatch& dispatch) override;
    void UnHook() override;
    int32_t GetHookModifiersState() const override;
    std::optional<pid_t> WindowProcessId(unsigned long window) const override;
    KVWindowOwner WindowOwner(unsigned long window) const override;
    std::optional<unsigned long> ActiveWindow() const override;

    // The XKB layout group of the core keyboard (0 without a display).
    uint8_t layoutGroup() const override;
    std::vector<std::string> sessionLayouts() const override;
    KVProcessWatcher::Source processSource() const { return m_processes.source(); }

    // Which source follows the foreground: "X11", a Wayland source's name, or "none".
    std::string foregroundSource() const;

private:
    std::unique_ptr<KVDesktopSource> connectWaylandSource();
    void onForeground(const KVWindowOwner& owner);

    KVMainLoop& m_loop;
    CKVMessageDispatch* m_dispatch = nullptr;
    std::unique_ptr<KVX11Session> m_x11;
    std::unique_ptr<KVDesktopSource> m_wayland;
    // Wayland windows are no X windows: each foreground gets a made-up handle for KVM_WINDOW_ACTIVATED,
    // and the program behind the last few handles is kept for WindowOwner.
    std::deque<std::pair<unsigned long, KVWindowOwner>> m_foregrounds;
    unsigned long m_nextHandle = 1;
    KVProcessWatcher m_processes;
    bool m_hooked = false;
};
