#include "support/FakeHook.h"

#include "core/MessageDispatch.h"

std::optional<pid_t> KVFakeHook::WindowProcessId(unsigned long window) const {
    auto it = m_windowOwners.find(window);
    if (it == m_windowOwners.end())
        return std::nullopt;
    return it->second;
}

void KVFakeHook::setModifiersState(int32_t state) {
    if (state == m_state)
        return;
    m_state = state;
    if (m_dispatch)
        m_dispatch->send<KVM_HOOK_STATE_CHANGED>();
}

void KVFakeHook::setLayoutGroup(uint8_t group) {
    if (group == m_group)
        return;
    m_group = group;
    if (m_dispatch)
        m_dispatch->send<KVM_HOOK_STATE_CHANGED>();
}

void KVFakeHook::startProcess(pid_t pid) {
    if (m_dispatch)
        m_dispatch->send<KVM_PROCESS_EVENT>(1, pid);
}

void KVFakeHook::endProcess(pid_t pid) {
    if (m_dispatch)
        m_dispatch->send<KVM_PROCESS_EVENT>(0, pid);
}

void KVFakeHook::activateWindow(unsigned long window, std::optional<pid_t> owner) {
    if (owner)
        m_windowOwners[window] = *owner;
    else
        m_windowOwners.erase(window);
    m_active = window;
    if (m_dispatch)
        m_dispatch->send<KVM_WINDOW_ACTIVATED>(window);
}

void KVFakeHook::activateNamedWindow(unsigned long window, std::vector<std::string> names) {
    m_windowOwners.erase(window);
    m_windowNames[window] = std::move(names);
    m_active = window;
    if (m_dispatch)
        m_dispatch->send<KVM_WINDOW_ACTIVATED>(window);
}

KVWindowOwner KVFakeHook::WindowOwner(unsigned long window) const {
    auto names = m_windowNames.find(window);
    return {WindowProcessId(window),
            names == m_windowNames.end() ? std::vector<std::string>{} : names->second};
}
