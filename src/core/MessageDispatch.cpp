#include "core/MessageDispatch.h"

#include "core/Log.h"

CKVMessageDispatch::CKVMessageDispatch(KVMainLoop& loop) : m_loop(loop) {}

CKVMessageDispatch::~CKVMessageDispatch() {
    *m_alive = false;
}

void CKVMessageDispatch::addHandler(KVMessage message, KVPtr<CFunctionAdaptor> adaptor) {
    auto& handlers = m_handlers[message];
    for (const auto& existing : handlers)
        if (existing->m_live && existing->sameIdentity(*adaptor))
            return;
    handlers.push_back(std::move(adaptor));
}

void CKVMessageDispatch::UnregisterHandlers(const void* object) {
    for (auto it = m_handlers.begin(); it != m_handlers.end();) {
        auto& handlers = it->second;
        std::erase_if(handlers, [object](const KVPtr<CFunctionAdaptor>& adaptor) {
            if (adaptor->target() != object)
                return false;
            adaptor->m_live = false; // a dispatch in progress holds a copy of the list
            return true;
        });
        it = handlers.empty() ? m_handlers.erase(it) : std::next(it);
    }
}

void CKVMessageDispatch::RegisterWindow(KVMessage message, IKVMessageWindow* window) {
    m_windows[message].emplace(window->messageWindowId(), window);
}

void CKVMessageDispatch::UnregisterWindow(IKVMessageWindow* window) {
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        it->second.erase(window->messageWindowId());
        it = it->second.empty() ? m_windows.erase(it) : std::next(it);
    }
}

size_t CKVMessageDispatch::handlerCount(KVMessage message) const {
    auto it = m_handlers.find(message);
    return it == m_handlers.end() ? 0 : it->second.size();
}

size_t CKVMessageDispatch::windowCount(KVMessage message) const {
    auto it = m_windows.find(message);
    return it == m_windows.end() ? 0 : it->second.size();
}

bool CKVMessageDispatch::Send(KVMessage message, KVWParam wParam, KVLParam lParam) {
    bool delivered = false;
    const bool ran = m_loop.send([&] {
        if (m_destroyed)
            return;
        dispatch(message, wParam, lParam);
        delivered = true;
    });
    if (!ran)
        corvane::logger("core").debug("{} from a worker thread refused: shutting down",
                                      kvMessageName(message));
    return ran && delivered;
}

void CKVMessageDispatch::Post(KVMessage message, KVWParam wParam, KVLParam lParam) {
    m_loop.post([this, alive = std::weak_ptr<bool>(m_alive), message, wParam, lParam] {
        if (alive.lock() && !m_destroyed)
            dispatch(message, wParam, lParam);
    });
}

bool CKVMessageDispatch::NotifyDispatchText(std::string_view text, KVMessage message) {
    // The sender's text is copied, as the window system copies a data-copy payload; handlers read the copy.
    const std::string copy(text);
    const KVCopyData record{message, copy.size() + 1, copy.c_str()};
    return Send(KVM_COPYDATA, 0, reinterpret_cast<KVLParam>(&record));
}

void CKVMessageDispatch::dispatch(KVMessage message, KVWParam wParam, KVLParam lParam) {
    const KVMessage received = message;
    const KVWParam receivedW = wParam;
    if (message == KVM_COPYDATA) {
        const auto* record = reinterpret_cast<const KVCopyData*>(lParam);
        if (!record) {
            corvane::logger("core").warn("a data copy without a record was not dispatched");
            defaultProcessing(received, receivedW);
            return;
        }
        message = record->dwData;
        wParam = reinterpret_cast<KVWParam>(record->lpData);
        lParam = 0;
    }
    if (auto it = m_handlers.find(message); it != m_handlers.end()) {
        const auto handlers = it->second; // handlers may register or unregister while we run
        for (const auto& handler : handlers) {
            if (!handler->m_live)
                continue;
            try {
                handler->invoke(wParam, lParam);
            } catch (const std::exception& e) {
                corvane::logger("core").error("a handler of {} failed: {}", kvMessageName(message), e.what());
            }
        }
    }
    // Windows may come and go while they receive; walk the live registry by id.
    for (uint64_t after = 0;;) {
        auto windows = m_windows.find(message);
        if (windows == m_windows.end())
            break;
        auto next = windows->second.upper_bound(after);
        if (next == windows->second.end())
            break;
        after = next->first;
        try {
            next->second->receiveMessage(message, wParam, lParam);
        } catch (const std::exception& e) {
            corvane::logger("core").error("a window receiving {} failed: {}", kvMessageName(message),
                                          e.what());
        }
    }
    defaultProcessing(received, receivedW);
}

void CKVMessageDispatch::defaultProcessing(KVMessage message, KVWParam wParam) {
    if (message == KVM_CLOSE || (message == KVM_COMMAND && wParam == KV_COMMAND_EXIT))
        Destroy();
    else if (message == KVM_COMMAND && wParam == KV_COMMAND_SHOW_MAIN_WINDOW)
        NotifyDispatch(KVM_SHOW_EDITOR);
}

void CKVMessageDispatch::Destroy() {
    if (m_destroyed)
        return;
    corvane::logger("core").debug("dispatch window destroyed");
    dispatch(KVM_DESTROY, 0, 0);
    m_destroyed = true;
    if (m_onDestroyed)
        m_onDestroyed();
}
