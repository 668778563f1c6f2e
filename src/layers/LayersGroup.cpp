#include "layers/LayersGroup.h"

#include "core/Log.h"
#include "layers/ItemFolder.h"
#include "store/PropertyNode.h"

void KVLayersGroup::load(const std::string& identifier, const KVPropertyNode& node,
                         const KVLayerLoadContext& context) {
    loadCommon(identifier, node, context);
    m_children.clear();
    const auto order = node.findChild("ItemOrder");
    if (!order)
        return;
    for (const auto& entry : order->children()) {
        if (m_children.find(entry->name())) {
            corvane::logger("layers").warn("group \"{}\" lists \"{}\" more than once; taken once", identifier,
                                           entry->name());
            continue;
        }
        m_children.add(corvane::layers::createItemFromNode(*entry, context));
    }
}

void KVLayersGroup::save(KVPropertyNode& parent) const {
    auto node = saveCommon(parent);
    node->addChild("Type", "Group");
    auto order = node->addChild("ItemOrder");
    for (const auto& child : m_children)
        child->save(*order);
}
