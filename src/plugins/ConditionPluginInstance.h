#pragma once

#include "conditions/Condition.h"
#include "plugins/ContextThunks.h"
#include "plugins/PluginInstance.h"

#include <atomic>

// A condition supplied by a condition plug-in (type "plugin"). Its plug-in object is made at the first
// evaluation; from then on the plug-in reports its result with SetState, from any thread, and a change
// makes the layers be evaluated again. Without a plug-in object it does not hold, and its stored entry
// is saved again unchanged.
class KVConditionPluginInstance final : public KVCondition, public KVKeyPluginInstance {
public:
    KVConditionPluginInstance(KVPluginInstanceFactory* host, KVPtr<const KVConditionEnvironment> environment);
    ~KVConditionPluginInstance() override;

    KVSubPluginKind kind() const override { return KVSubPluginKind::Condition; }

    bool IsTrue() override;
    void Load(const KVPropertyNode& entry) override;
    bool Save(KVPropertyNode& entry) const override;
    void Start() override;
    void Stop() override;

    void Activate();
    void Deactivate();
    // The editor's settings: one property set or removed. A plug-in object in use is made anew, so that
    // it reads its settings again and reports its state for them.
    void ChangeSetting(const KVPluginSettingValue& setting);
    // The plug-in's last report.
    bool State() const { return m_state; }

    IKVConditionPluginContext* context() { return &m_handle.interface; }
    // Any thread.
    void setState(int32_t state);

protected:
    void* contextInterface() override { return context(); }

private:
    corvane::plugins::ContextHandle<IKVConditionPluginContext, KVConditionPluginInstance> m_handle;
    // Set while the plug-in object is being made: a report then is stored without re-evaluation.
    std::atomic<bool> m_quiet{false};
    std::atomic<bool> m_state{false};
};
