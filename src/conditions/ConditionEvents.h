#pragma once

#include "core/Messages.h"

#include <array>
#include <functional>
#include <utility>

class CKVMessageDispatch;

// Runs the layers controller's re-evaluation whenever something that conditions test may have changed.
// Nothing polls: a change that none of these messages announces (a keyboard layout switch, say) takes
// effect at the next one.
class KVConditionEvents {
public:
    static constexpr std::array<KVMessage, 6> kMessages{
        KVM_DEVICE_MODIFIERS_CHANGED, // the keyboard's own modifier keys
        KVM_RUNNING_APPS_CHANGED,     // the set of running applications
        KVM_FOREGROUND_APP_CHANGED,   // the foreground application
        KVM_HOOK_STATE_CHANGED,       // the session's modifier and lock state
        KVM_DEVICE_STATE,             // the keyboard arrived or left
        KVM_PLUGIN_CONDITION_CHANGED, // a condition plug-in reported a new state
    };

    KVConditionEvents(CKVMessageDispatch& dispatch, std::function<void()> reEvaluate);
    ~KVConditionEvents();
    KVConditionEvents(const KVConditionEvents&) = delete;
    KVConditionEvents& operator=(const KVConditionEvents&) = delete;

private:
    template <size_t... I> void registerAll(std::index_sequence<I...>);
    void onStateChanged();

    CKVMessageDispatch& m_dispatch;
    std::function<void()> m_reEvaluate;
    bool m_evaluating = false;
    bool m_again = false;
};
