#include "layers/LayersItem.h"

#include "conditions/ConditionStore.h"
#include "store/PropertyNode.h"

#include <algorithm>

KVPtr<KVLayersItem> KVLayerCakeItemsStorage::find(std::string_view identifier) const {
    for (const auto& item : m_items)
        if (item->identifier() == identifier)
            return item;
    return nullptr;
}

bool KVLayerCakeItemsStorage::add(KVPtr<KVLayersItem> item) {
    if (!item)
        return false;
    for (auto& existing : m_items) {
        if (existing->identifier() == item->identifier()) {
            existing = std::move(item);
            return false;
        }
    }
    m_items.push_back(std::move(item));
    return true;
}

void KVLayerCakeItemsStorage::insert(size_t position, KVPtr<KVLayersItem> item) {
    if (!item)
        return;
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(std::min(position, m_items.size())),
                   std::move(item));
}

bool KVLayerCakeItemsStorage::remove(const KVPtr<KVLayersItem>& item) {
    const auto found = std::find(m_items.begin(), m_items.end(), item);
    if (found == m_items.end())
        return false;
    m_items.erase(found);
    return true;
}

KVLayersItem::KVLayersItem() = default;

// Conditions are stopped when the item goes, as the list's owner must.
KVLayersItem::~KVLayersItem() {
    corvane::stopConditions(m_conditions);
}

const KVLayerCakeItemsStorage& KVLayersItem::children() const {
    static const KVLayerCakeItemsStorage none;
    return none;
}

bool KVLayersItem::qualifies() const {
    return corvane::itemQualifies(isEnabled(), isShownForEditing(), m_conditions);
}

void KVLayersItem::loadCommon(const std::string& identifier, const KVPropertyNode& node,
                              const KVLayerLoadContext& context) {
    m_identifier = identifier;
    m_displayName = node.childValue("DisplayName");
    setFlag(KV_ITEM_ENABLED, node.childValue("Disabled") != "true");
    corvane::stopConditions(m_conditions);
    if (const auto conditions = node.findChild("Conditions"))
        m_conditions = corvane::loadConditions(*conditions, context.conditions);
    m_properties = node.findChild("Properties");
}

KVPtr<KVPropertyNode> KVLayersItem::saveCommon(KVPropertyNode& parent) const {
    auto node = parent.addChild(m_identifier);
    node->addChild("DisplayName", m_displayName);
    node->addChild("Disabled", isEnabled() ? "false" : "true");
    corvane::saveConditions(*node->addChild("Conditions"), m_conditions);
    if (m_properties) {
        auto stored = m_properties->copy();
        stored->setName("Properties");
        node->appendNewChild(stored);
    }
    return node;
}
