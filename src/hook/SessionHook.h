#pragma once

#include "hook/ProcessWatcher.h"
#include "hook/SystemHook.h"
#include "hook/X11Session.h"

#include <memory>

// The hook of a real desktop session: the X11 session (active window, keyboard state) when there is a
// display, and the process watcher always.
class KVSessionHook final : public IKVSystemHook {
public:
    explicit KVSessionHook(KVMainLoop& loop);
    ~KVSessionHook() override;

    void Hook(CKVMessageDispatch& dispatch) override;
    void UnHook() override;
    int32_t GetHookModifiersState() const override;
    std::optional<pid_t> WindowProcessId(unsigned long window) const override;

    // The XKB layout group of the core keyboard (0 without a display).
    uint8_t layoutGroup() const override;
    KVProcessWatcher::Source processSource() const { return m_processes.source(); }

private:
    KVMainLoop& m_loop;
    std::unique_ptr<KVX11Session> m_x11;
    KVProcessWatcher m_processes;
    bool m_hooked = false;
};
