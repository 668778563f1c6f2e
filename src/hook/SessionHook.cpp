#include "hook/SessionHook.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "hook/DesktopBusSource.h"
#include "hook/HyprlandSource.h"
#include "hook/SwaySource.h"
#include "hook/WlrToplevelSource.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

// Messages are handled at once, so only a handle read back late (a second source) needs an old record.
constexpr size_t kKeptForegrounds = 8;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

KVSessionHook::KVSessionHook(KVMainLoop& loop) : m_loop(loop), m_processes(loop) {}

KVSessionHook::~KVSessionHook() {
    UnHook();
}

void KVSessionHook::Hook(CKVMessageDispatch& dispatch) {
    if (m_hooked)
        return;
    m_hooked = true;
    m_dispatch = &dispatch;
    auto& log = corvane::logger("hook");
    // On Wayland an X server, when there is one, sees only the programs that run under Xwayland.
    if (!environment("WAYLAND_DISPLAY").empty())
        m_wayland = connectWaylandSource();
    if (m_wayland) {
        log.info("following the foreground program and keyboard layout through {}", m_wayland->name());
        log.info(
            "held modifiers of other keyboards cannot be read on Wayland; only the keyboard's own count");
        m_wayland->start({[this](const KVWindowOwner& owner) { onForeground(owner); },
                          [this] {
                              if (m_dispatch)
                                  m_dispatch->send<KVM_HOOK_STATE_CHANGED>();
                          }});
    } else {
        m_x11 = KVX11Session::connect(m_loop);
        if (m_x11) {
            log.info("following the active window and keyboard state through X11");
            m_x11->start(dispatch);
        } else if (!environment("WAYLAND_DISPLAY").empty()) {
            log.warn(
                "this Wayland session offers no source of the focused program or the keyboard layout that "
                "is supported (sway or Hyprland IPC, KWin, GNOME Shell, the foreign-toplevel protocol): "
                "per-application layers and layout changes are "
                "not followed");
        } else {
            log.warn("no X display: active-window changes (2028) and keyboard state changes (2031) are not "
                     "reported, and held modifiers and lock keys read as none");
        }
    }
    m_processes.start(dispatch);
}

std::unique_ptr<KVDesktopSource> KVSessionHook::connectWaylandSource() {
    using Connect = std::unique_ptr<KVDesktopSource> (*)(KVMainLoop&);
    // In the order they are tried: a compositor's own IPC tells more (processes, layouts) than the
    // protocol that any wlroots compositor offers.
    static constexpr std::pair<std::string_view, Connect> kSources[] = {
        {"sway",
         [](KVMainLoop& loop) -> std::unique_ptr<KVDesktopSource> {
             auto socket = environment("SWAYSOCK");
             return socket.empty() ? nullptr : KVSwaySource::connect(loop, socket);
         }},
        {"hyprland",
         [](KVMainLoop& loop) -> std::unique_ptr<KVDesktopSource> {
             return KVHyprlandSource::connect(loop, KVHyprlandSource::instanceFolder());
         }},
        {"kde-gnome",
         [](KVMainLoop& loop) -> std::unique_ptr<KVDesktopSource> {
             return KVDesktopBusSource::connect(loop);
         }},
        {"foreign-toplevel",
         [](KVMainLoop& loop) -> std::unique_ptr<KVDesktopSource> {
             return KVWlrToplevelSource::connect(loop);
         }},
    };
    const std::string forced = environment(kForcedSourceVariable);
    if (!forced.empty()) {
        for (const auto& [name, connect] : kSources)
            if (name == forced)
                return connect(m_loop);
        corvane::logger("hook").error("{}={} names no source; it is one of sway, hyprland, kde-gnome, "
                                      "foreign-toplevel. The session's own is chosen instead",
                                      kForcedSourceVariable, forced);
    }
    for (const auto& [name, connect] : kSources)
        if (auto source = connect(m_loop))
            return source;
    return nullptr;
}

void KVSessionHook::UnHook() {
    if (!m_hooked)
        return;
    m_hooked = false;
    m_processes.stop();
    m_x11.reset();
    m_wayland.reset();
    m_dispatch = nullptr;
}

void KVSessionHook::onForeground(const KVWindowOwner& owner) {
    if (!m_foregrounds.empty()) {
        const KVWindowOwner& last = m_foregrounds.back().second;
        if (last.pid == owner.pid && last.names == owner.names)
            return;
    }
    const unsigned long handle = m_nextHandle++;
    m_foregrounds.emplace_back(handle, owner);
    if (m_foregrounds.size() > kKeptForegrounds)
        m_foregrounds.pop_front();
    if (m_dispatch)
        m_dispatch->send<KVM_WINDOW_ACTIVATED>(handle);
}

int32_t KVSessionHook::GetHookModifiersState() const {
    return m_x11 ? m_x11->modifiersState() : 0;
}

std::optional<pid_t> KVSessionHook::WindowProcessId(unsigned long window) const {
    return WindowOwner(window).pid;
}

KVWindowOwner KVSessionHook::WindowOwner(unsigned long window) const {
    if (m_x11)
        return m_x11->windowOwner(window);
    for (const auto& [handle, owner] : m_foregrounds)
        if (handle == window)
            return owner;
    return {};
}

std::optional<unsigned long> KVSessionHook::ActiveWindow() const {
    if (m_x11)
        return m_x11->activeWindow();
    if (m_foregrounds.empty())
        return std::nullopt;
    return m_foregrounds.back().first;
}

uint8_t KVSessionHook::layoutGroup() const {
    if (m_wayland)
        return m_wayland->layoutGroup();
    return m_x11 ? m_x11->layoutGroup() : 0;
}

std::vector<std::string> KVSessionHook::sessionLayouts() const {
    return m_wayland ? m_wayland->layouts() : std::vector<std::string>{};
}

std::string KVSessionHook::foregroundSource() const {
    if (m_wayland)
        return m_wayland->name();
    return m_x11 ? "X11" : "none";
}
