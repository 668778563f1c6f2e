#pragma once

#include "hook/SystemHook.h"

#include <map>

// A hook whose session is scripted by a test: it delivers what the test says, as the real one would.
class KVFakeHook final : public IKVSystemHook {
public:
    void Hook(CKVMessageDispatch& dispatch) override { m_dispatch = &dispatch; }
    void UnHook() override { m_dispatch = nullptr; }
    int32_t GetHookModifiersState() const override { return m_state; }
    std::optional<pid_t> WindowProcessId(unsigned long window) const override;
    uint8_t layoutGroup() const override { return m_group; }

    bool hooked() const { return m_dispatch != nullptr; }

    // Each sends its message when hooked and the outcome is a change, like the real hook.
    void setModifiersState(int32_t state);
    void setLayoutGroup(uint8_t group);
    void startProcess(pid_t pid);
    void endProcess(pid_t pid);
    void activateWindow(unsigned long window, std::optional<pid_t> owner);

private:
    CKVMessageDispatch* m_dispatch = nullptr;
    int32_t m_state = 0;
    uint8_t m_group = 0;
    std::map<unsigned long, pid_t> m_windowOwners;
};
