#pragma once

#include "core/MainLoop.h"
#include "hook/SystemHook.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

class CKVMessageDispatch;

// Follows an X11 session: the active window (_NET_ACTIVE_WINDOW on the root window) and the keyboard
// state of XKB (held modifiers, lock indicators, layout group). Its connection is watched by the main loop,
// so everything runs on the loop thread.
class KVX11Session {
public:
    // Connects to `display` (DISPLAY when empty); nullptr when there is no X server to talk to.
    static std::unique_ptr<KVX11Session> connect(KVMainLoop& loop, const std::string& display = {});
    ~KVX11Session();

    void start(CKVMessageDispatch& dispatch);
    void stop();

    int32_t modifiersState() const { return m_state; }
    uint8_t layoutGroup() const { return m_group; }
    std::optional<unsigned long> activeWindow() const {
        return m_activeWindow ? std::optional<unsigned long>(m_activeWindow) : std::nullopt;
    }
    // _NET_WM_PID, else the X server's own record of the client that made the window (local clients).
    std::optional<pid_t> windowProcessId(unsigned long window) const;
    // The process as above, else the instance and class of WM_CLASS.
    KVWindowOwner windowOwner(unsigned long window) const;

private:
    struct Connection;
    KVX11Session(KVMainLoop& loop, std::unique_ptr<Connection> connection);

    void readEvents();
    void queryInitialState();
    void updateState(uint8_t heldMods, uint8_t lockedMods, uint8_t group);
    void updateIndicators(uint32_t indicatorState);
    void reportActiveWindow();
    void publishState();
    std::optional<pid_t> clientProcessId(unsigned long window) const;
    std::vector<std::string> windowClassNames(unsigned long window) const;

    KVMainLoop& m_loop;
    std::unique_ptr<Connection> m_x;
    CKVMessageDispatch* m_dispatch = nullptr;
    std::optional<KVMainLoop::WatchId> m_watch;

    uint8_t m_heldMods = 0;
    uint8_t m_lockedMods = 0;
    uint8_t m_group = 0;
    uint8_t m_publishedGroup = 0;
    uint32_t m_indicators = 0;
    int32_t m_state = 0;
    unsigned long m_activeWindow = 0;
};
