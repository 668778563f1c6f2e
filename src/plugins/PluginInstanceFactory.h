#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"
#include "plugins/PluginInfo.h"
#include "plugins/PluginInstanceRegister.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

class CKVMessageDispatch;
class KVActionPluginInstance;
class KVCondition;
class KVKeyPluginInstance;
class KVConditionPluginInstance;
class IKVPluginHolders;
class KVPluginRegistry;
class KVPropertyNode;
class KVViewPluginInstance;

// Makes the plug-in instances of bindings and conditions and keeps what they share: the registry, the
// dispatch through which they announce pictures and states, the layer model's answers about their
// holders, and the three registers of live instances. One per process; it outlives every instance
// (at exit it waits up to a second for the plug-ins to release theirs).
class KVPluginInstanceFactory final : public IKVPluginConditionSource {
public:
    static constexpr std::chrono::milliseconds kExitWait{1000};

    // Either may be null: without a registry no plug-in is found, without a dispatch nothing is announced.
    KVPluginInstanceFactory(KVPluginRegistry* registry, CKVMessageDispatch* dispatch);
    ~KVPluginInstanceFactory() override;
    KVPluginInstanceFactory(const KVPluginInstanceFactory&) = delete;
    KVPluginInstanceFactory& operator=(const KVPluginInstanceFactory&) = delete;

    KVPluginRegistry* registry() const { return m_registry; }
    CKVMessageDispatch* dispatch() const { return m_dispatch; }
    const IKVPluginHolders* holders() const { return m_holders; }
    void setHolders(const IKVPluginHolders* holders) { m_holders = holders; }

    KVPluginInstanceRegister& views() { return m_views; }
    KVPluginInstanceRegister& actions() { return m_actions; }
    KVPluginInstanceRegister& conditions() { return m_conditions; }

    // A new instance of a sub-plug-in; nothing when the plug-in is missing, cannot be loaded, or lacks
    // the factory of that kind.
    KVPtr<KVViewPluginInstance> CreateViewInstance(const KVPtr<KVPluginInfo>& plugin,
                                                   const std::string& subPluginId, unsigned keyIndex);
    KVPtr<KVActionPluginInstance> CreateActionInstance(const KVPtr<KVPluginInfo>& plugin,
                                                       const std::string& subPluginId, unsigned keyIndex);
    KVPtr<KVConditionPluginInstance> CreateConditionInstance(const KVPtr<KVPluginInfo>& plugin,
                                                             const std::string& subPluginId,
                                                             KVPtr<const KVConditionEnvironment> environment);

    // The conditions' stored "plugin" entries become instances through this.
    KVPtr<KVCondition> CreatePluginCondition(KVPtr<const KVConditionEnvironment> environment) override;

    // Lets go of an instance its plug-in released, on the main thread once the current call is over.
    void releaseLater(KVPtr<KVKeyPluginInstance> instance);

    // A call into `plugin` crashed: the layers are evaluated and the keyboard redrawn without it.
    void PluginFailed(const KVPluginInfo& plugin);

private:
    KVPluginRegistry* m_registry;
    CKVMessageDispatch* m_dispatch;
    const IKVPluginHolders* m_holders = nullptr;
    KVPluginInstanceRegister m_views;
    KVPluginInstanceRegister m_actions;
    KVPluginInstanceRegister m_conditions;
    std::vector<KVPtr<KVKeyPluginInstance>> m_released;
    std::set<const KVPluginInfo*> m_reportedFailures;
};
