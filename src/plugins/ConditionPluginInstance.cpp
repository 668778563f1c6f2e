#include "plugins/ConditionPluginInstance.h"

#include "core/MessageDispatch.h"
#include "plugins/PluginInstanceFactory.h"
#include "store/PropertyNode.h"

namespace {

using Thunks = corvane::plugins::ContextThunks<IKVConditionPluginContext, KVConditionPluginInstance>;

void setState(IKVConditionPluginContext* self, int32_t state) {
    corvane::plugins::noThrow("SetState", 0, [&] {
        if (auto* instance = Thunks::owner(self))
            instance->setState(state);
        return 0;
    });
}

const IKVConditionPluginContextVtbl kConditionContextTable = {
    .SetProperty = &Thunks::SetProperty,
    .GetProperty = &Thunks::GetProperty,
    .GetItemPath = &Thunks::GetItemPath,
    .GetItemName = &Thunks::GetItemName,
    .Release = &Thunks::Release,
    .SetState = &setState,
};

} // namespace

KVConditionPluginInstance::KVConditionPluginInstance(KVPluginInstanceFactory* host,
                                                     KVPtr<const KVConditionEnvironment> environment)
    : KVCondition(corvane::kPluginConditionType, std::move(environment)),
      KVKeyPluginInstance(host, 0), m_handle{{&kConditionContextTable}, this} {}

KVConditionPluginInstance::~KVConditionPluginInstance() {
    Deactivate();
}

bool KVConditionPluginInstance::IsTrue() {
    if (!IsActive())
        Activate();
    return m_state && HasObject();
}

void KVConditionPluginInstance::Load(const KVPropertyNode& entry) {
    KVKeyPluginInstance::Load(entry);
}

bool KVConditionPluginInstance::Save(KVPropertyNode& entry) const {
    KVCondition::Save(entry);
    KVKeyPluginInstance::Save(entry);
    return true;
}

void KVConditionPluginInstance::Start() {
    Activate();
}

void KVConditionPluginInstance::Stop() {
    Deactivate();
}

void KVConditionPluginInstance::Activate() {
    if (IsActive())
        return;
    m_quiet = true;
    activateInstance();
    m_quiet = false;
}

void KVConditionPluginInstance::Deactivate() {
    destroyObject();
}

void KVConditionPluginInstance::ChangeSetting(const KVPluginSettingValue& setting) {
    SetSetting(setting.key, setting.value);
    if (!IsActive())
        return;
    Deactivate();
    m_state = false;
    Activate();
}

void KVConditionPluginInstance::setState(int32_t state) {
    const bool holds = state == 1;
    if (m_state.exchange(holds) == holds || m_quiet)
        return;
    CKVMessageDispatch* dispatch = host() ? host()->dispatch() : nullptr;
    if (!dispatch)
        return;
    // From the plug-in's own thread the news is handed over without waiting, so that thread can never
    // be blocked while the main thread waits for it in Destroy.
    if (dispatch->loop().isLoopThread())
        dispatch->send<KVM_PLUGIN_CONDITION_CHANGED>();
    else
        dispatch->post<KVM_PLUGIN_CONDITION_CHANGED>();
}
