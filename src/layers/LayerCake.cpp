#include "layers/LayerCake.h"

#include "conditions/SysLayoutCondition.h"
#include "core/Log.h"
#include "layers/ItemFolder.h"
#include "store/PropertyNode.h"

#include <algorithm>

KVLayerCake::KVLayerCake(KVLayerLoadContext context) : m_context(std::move(context)) {}

namespace {

KVPtr<KVLayersGroup> asGroup(const KVPtr<KVLayersItem>& item) {
    return item && item->isGroup() ? std::static_pointer_cast<KVLayersGroup>(item) : nullptr;
}

} // namespace

KVPtr<KVLayersGroup> KVLayerCake::systemLayers() const {
    if (!m_items.empty()) {
        const auto& first = m_items.items().front();
        if (first->isGroup() && first->hasFlag(KV_ITEM_SYSTEM_LAYERS))
            return asGroup(first);
    }
    return asGroup(m_items.find(kSystemLayersId));
}

KVPtr<KVLayersGroup> KVLayerCake::userLayers() const {
    if (m_items.size() > 2) {
        const auto& second = m_items.items()[1];
        if (second->isGroup() && second->hasFlag(KV_ITEM_USER_LAYERS))
            return asGroup(second);
    }
    return asGroup(m_items.find(kUserLayersId));
}

KVPtr<KVLayersItem> KVLayerCake::controlButtons() const {
    const auto system = systemLayers();
    return system ? system->children().find(kControlButtonsId) : nullptr;
}

KVPtr<KVLayersGroup> KVLayerCake::ensureTopGroup(const char* identifier, const char* displayName) {
    const auto existing = m_items.find(identifier);
    if (auto group = asGroup(existing))
        return group;
    auto group = std::make_shared<KVLayersGroup>();
    group->setIdentifier(identifier);
    group->setDisplayName(displayName);
    m_items.add(group); // in place of a namesake
    if (existing) {
        corvane::logger("layers").warn(
            "\"{}\" is stored as a layer; keeping it inside a new group of that name", identifier);
        existing->setIdentifier(existing->identifier() + "_layer");
        group->items().add(existing);
    }
    return group;
}

KVPtr<KVLayersItem> KVLayerCake::loadShippedItem(const std::string& programFolder,
                                                 const char* identifier) const {
    auto item = corvane::layers::loadItemFromFolder(programFolder + "/" + identifier, identifier, m_context);
    // Shipped pictures are copied into the profile at the next save.
    corvane::layers::markPicturesChanged(*item);
    return item;
}

void KVLayerCake::setUpUserLayers(const std::string& programFolder) {
    auto user = ensureTopGroup(kUserLayersId, "Layers");
    user->setFlag(KV_ITEM_USER_LAYERS | KV_ITEM_BUILT_IN, true);
    if (!user->children().find(kDefaultButtonsId))
        user->items().add(loadShippedItem(programFolder, kDefaultButtonsId));
}

void KVLayerCake::setUpSystemLayers(const std::string& programFolder, const LayoutGroupsBuilder& layouts) {
    auto system = ensureTopGroup(kSystemLayersId, "Background");
    system->setFlag(KV_ITEM_SYSTEM_LAYERS, true);
    if (layouts)
        layouts(*system);
    if (!system->children().find(kControlButtonsId))
        system->items().add(loadShippedItem(programFolder, kControlButtonsId));
    system->setFlag(KV_ITEM_BUILT_IN, true);
    for (const auto& child : system->children())
        child->setFlag(KV_ITEM_BUILT_IN, true);
}

void KVLayerCake::rebuildLayoutGroups(KVLayersGroup& systemLayers, const std::vector<uint32_t>& installed,
                                      const LayoutGroupFactory& makeGroup) {
    auto& children = systemLayers.items();
    size_t insertAt = 0;
    for (const uint32_t layout : installed) {
        const std::string identifier = corvane::layoutText(layout);
        auto group = children.find(identifier);
        if (!group && makeGroup) {
            group = makeGroup(layout);
            if (group) {
                group->setIdentifier(identifier);
                children.insert(insertAt, group);
            }
        }
        if (!group)
            continue;
        const auto& items = children.items();
        insertAt = static_cast<size_t>(std::find(items.begin(), items.end(), group) - items.begin()) + 1;
    }
    std::vector<KVPtr<KVLayersItem>> gone;
    for (const auto& child : children) {
        const auto& conditions = child->conditions();
        const auto* layoutCondition =
            conditions.empty() ? nullptr
                               : dynamic_cast<const KVSysLayoutCondition*>(conditions.front().get());
        if (layoutCondition &&
            std::find(installed.begin(), installed.end(), layoutCondition->Layout()) == installed.end())
            gone.push_back(child);
    }
    for (const auto& child : gone) {
        corvane::logger("layers").info(
            "keyboard layout group \"{}\" removed: its layout is no longer installed", child->identifier());
        children.remove(child);
    }
}

void KVLayerCake::loadLayers(const KVPtr<KVPropertyNode>& layers) {
    m_items.clear();
    if (!layers)
        return;
    const auto order = layers->findChild("ItemOrder");
    if (!order)
        return;
    for (const auto& entry : order->children()) {
        if (m_items.find(entry->name())) {
            corvane::logger("layers").warn("the layers list \"{}\" more than once; taken once",
                                           entry->name());
            continue;
        }
        m_items.add(corvane::layers::createItemFromNode(*entry, m_context));
    }
}

void KVLayerCake::saveLayers(KVPropertyNode& root) {
    auto layers = root.addChild("Layers");
    layers->addChild("DisplayName", "root");
    layers->addChild("Type", "Group");
    auto order = layers->addChild("ItemOrder");
    for (const auto& item : m_items)
        item->save(*order);
}
