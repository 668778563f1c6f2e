#include "hook/SessionHook.h"

#include "core/Log.h"

KVSessionHook::KVSessionHook(KVMainLoop& loop) : m_loop(loop), m_processes(loop) {}

KVSessionHook::~KVSessionHook() {
    UnHook();
}

void KVSessionHook::Hook(CKVMessageDispatch& dispatch) {
    if (m_hooked)
        return;
    m_hooked = true;
    m_x11 = KVX11Session::connect(m_loop);
    if (m_x11)
        m_x11->start(dispatch);
    else
        corvane::logger("hook").warn(
            "no X display: active-window changes (2028) and keyboard state changes (2031) are not "
            "reported, and held modifiers and lock keys read as none");
    m_processes.start(dispatch);
}

void KVSessionHook::UnHook() {
    if (!m_hooked)
        return;
    m_hooked = false;
    m_processes.stop();
    m_x11.reset();
}

int32_t KVSessionHook::GetHookModifiersState() const {
    return m_x11 ? m_x11->modifiersState() : 0;
}

std::optional<pid_t> KVSessionHook::WindowProcessId(unsigned long window) const {
    return m_x11 ? m_x11->windowProcessId(window) : std::nullopt;
}

uint8_t KVSessionHook::layoutGroup() const {
    return m_x11 ? m_x11->layoutGroup() : 0;
}
