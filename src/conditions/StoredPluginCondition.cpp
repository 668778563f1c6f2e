#include "conditions/StoredPluginCondition.h"

#include "store/PropertyNode.h"

namespace {

// Copies the whole tree: the loaded document and the saved one must not share nodes that either side
// might change later.
KVPtr<KVPropertyNode> deepCopy(const KVPropertyNode& node) {
    auto copy = KVPropertyNode::create(node.name(), node.value(), node.image());
    for (const auto& child : node.children())
        if (child)
            copy->setChild(deepCopy(*child));
    return copy;
}

} // namespace

KVStoredPluginCondition::KVStoredPluginCondition(KVPtr<const KVConditionEnvironment> environment)
    : KVCondition(corvane::kPluginConditionType, std::move(environment)),
      m_stored(KVPropertyNode::create({})) {}

void KVStoredPluginCondition::Load(const KVPropertyNode& entry) {
    m_stored = deepCopy(entry);
}

bool KVStoredPluginCondition::Save(KVPropertyNode& entry) const {
    KVCondition::Save(entry);
    for (const auto& child : m_stored->children())
        if (child && child->name() != "Type")
            entry.setChild(deepCopy(*child));
    return true;
}
