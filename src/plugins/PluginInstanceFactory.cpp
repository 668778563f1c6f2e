#include "plugins/PluginInstanceFactory.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/PluginRegistry.h"
#include "plugins/ViewPluginInstance.h"
#include "store/PropertyNode.h"

namespace {

template <class Entry> bool canCreate(const KVPtr<KVPluginInfo>& plugin, Entry KVPluginEntryPoints::*entry) {
    return plugin && plugin->ensureLoaded() && plugin->isUsable() && plugin->entryPoints().*entry;
}

} // namespace

KVPluginInstanceFactory::KVPluginInstanceFactory(KVPluginRegistry* registry, CKVMessageDispatch* dispatch)
    : m_registry(registry), m_dispatch(dispatch) {}

KVPluginInstanceFactory::~KVPluginInstanceFactory() {
    for (auto* instances : {&m_views, &m_actions, &m_conditions})
        instances->dropFailed();
    for (auto* instances : {&m_views, &m_actions, &m_conditions})
        if (!instances->waitUntilEmpty(kExitWait))
            corvane::logger("plugins").warn(
                "{} plug-in instance(s) were not released by their plug-ins in time", instances->size());
    for (auto* instances : {&m_views, &m_actions, &m_conditions})
        instances->clear();
}

KVPtr<KVViewPluginInstance> KVPluginInstanceFactory::CreateViewInstance(const KVPtr<KVPluginInfo>& plugin,
                                                                        const std::string& subPluginId,
                                                                        unsigned keyIndex) {
    if (!canCreate(plugin, &KVPluginEntryPoints::createView))
        return nullptr;
    auto instance = std::make_shared<KVViewPluginInstance>(this, keyIndex);
    instance->SetIds(plugin->PluginID(), subPluginId);
    instance->SetPlugin(plugin);
    return instance;
}

KVPtr<KVActionPluginInstance> KVPluginInstanceFactory::CreateActionInstance(const KVPtr<KVPluginInfo>& plugin,
                                                                            const std::string& subPluginId,
                                                                            unsigned keyIndex) {
    if (!canCreate(plugin, &KVPluginEntryPoints::createAction))
        return nullptr;
    auto instance = std::make_shared<KVActionPluginInstance>(this, keyIndex);
    instance->SetIds(plugin->PluginID(), subPluginId);
    instance->SetPlugin(plugin);
    return instance;
}

KVPtr<KVConditionPluginInstance>
KVPluginInstanceFactory::CreateConditionInstance(const KVPtr<KVPluginInfo>& plugin,
                                                 const std::string& subPluginId,
                                                 KVPtr<const KVConditionEnvironment> environment) {
    if (!canCreate(plugin, &KVPluginEntryPoints::createCondition))
        return nullptr;
    auto instance = std::make_shared<KVConditionPluginInstance>(this, std::move(environment));
    instance->SetIds(plugin->PluginID(), subPluginId);
    instance->SetPlugin(plugin);
    return instance;
}

KVPtr<KVCondition>
KVPluginInstanceFactory::CreatePluginCondition(KVPtr<const KVConditionEnvironment> environment) {
    return std::make_shared<KVConditionPluginInstance>(this, std::move(environment));
}

void KVPluginInstanceFactory::releaseLater(KVPtr<KVKeyPluginInstance> instance) {
    if (!m_dispatch) {
        // Without a loop there is no later; the caller's binding still holds the instance in tests.
        m_released.push_back(std::move(instance));
        return;
    }
    m_dispatch->loop().post([instance = std::move(instance)] {});
}

void KVPluginInstanceFactory::PluginFailed(const KVPluginInfo& plugin) {
    if (m_reportedFailures.count(&plugin) || !m_dispatch)
        return;
    m_reportedFailures.insert(&plugin);
    // Its conditions no longer hold and its keys fall back; the layers and the keyboard catch up.
    m_dispatch->post<KVM_PLUGIN_CONDITION_CHANGED>();
    m_dispatch->post<KVM_ACTIVE_LAYERS_CHANGED>();
}
