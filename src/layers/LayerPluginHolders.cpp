#include "layers/LayerPluginHolders.h"

#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayerEvaluation.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ConditionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

#include <algorithm>

KVLayerPluginHolders::KVLayerPluginHolders(const KVLayerCake& cake, std::string layersFolder)
    : m_cake(cake), m_layersFolder(std::move(layersFolder)) {}

const KVKeyBinding* KVLayerPluginHolders::bindingOf(const KVKeyPluginInstance& instance,
                                                    const KVLayer** layer) const {
    const unsigned key = instance.KeyIndex();
    const KVKeyBinding* found = nullptr;
    corvane::layers::forEachItem(m_cake.items(), [&](const KVPtr<KVLayersItem>& item) {
        const auto* candidate = dynamic_cast<const KVLayer*>(item.get());
        if (found || !candidate || key >= corvane::layers::kLayerKeyCount)
            return;
        const KVKeyBinding& binding = candidate->binding(key);
        if (binding.viewPlugin.get() == &instance || binding.actionPlugin.get() == &instance) {
            found = &binding;
            *layer = candidate;
        }
    });
    return found;
}

std::optional<IKVPluginHolders::Holder>
KVLayerPluginHolders::holderOf(const KVKeyPluginInstance& instance) const {
    const KVLayersItem* holder = nullptr;
    if (instance.kind() == KVSubPluginKind::Condition) {
        const auto* condition = dynamic_cast<const KVCondition*>(&instance);
        corvane::layers::forEachItem(m_cake.items(), [&](const KVPtr<KVLayersItem>& item) {
            const auto& conditions = item->conditions();
            if (!holder && std::any_of(conditions.begin(), conditions.end(),
                                       [&](const auto& c) { return c.get() == condition; }))
                holder = item.get();
        });
    } else {
        const KVLayer* layer = nullptr;
        if (bindingOf(instance, &layer))
            holder = layer;
    }
    if (!holder)
        return std::nullopt;
    std::string path = m_layersFolder;
    for (const auto& item : corvane::layers::pathTo(m_cake.items(), holder))
        path += "/" + item->identifier();
    return Holder{std::move(path), holder->displayName()};
}

KVKeyPluginInstance* KVLayerPluginHolders::pairedInstance(const KVKeyPluginInstance& instance) const {
    const KVLayer* layer = nullptr;
    const KVKeyBinding* binding = bindingOf(instance, &layer);
    if (!binding)
        return nullptr;
    if (binding->viewPlugin.get() == &instance)
        return binding->actionPlugin.get();
    return binding->viewPlugin.get();
}
