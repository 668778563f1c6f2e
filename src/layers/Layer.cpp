#include "layers/Layer.h"

#include "core/Log.h"
#include "store/PropertyNode.h"

KVLayer::~KVLayer() {
    // Plug-in objects must not outlive the layer that brought them into use.
    if (isActive())
        deactivate();
}

void KVLayer::load(const std::string& identifier, const KVPropertyNode& node,
                   const KVLayerLoadContext& context) {
    loadCommon(identifier, node, context);
    m_bindings = {};
    if (const auto buttons = node.findChild("Buttons"))
        loadButtons(*buttons, context.plugins);
}

void KVLayer::loadButtons(const KVPropertyNode& buttons, KVPluginObjectFactory* plugins) {
    std::optional<unsigned> previous;
    for (const auto& entry : buttons.children()) {
        const auto index = corvane::layers::matchKeyName(entry->name(), previous);
        if (!index) {
            corvane::logger("layers").debug("layer \"{}\": \"{}\" is not a key name; entry ignored",
                                            identifier(), entry->name());
            continue;
        }
        m_bindings[*index].load(*entry, *index, plugins);
        previous = index;
    }
}

void KVLayer::save(KVPropertyNode& parent) const {
    auto node = saveCommon(parent);
    auto buttons = node->addChild("Buttons");
    for (unsigned index = 0; index < m_bindings.size(); ++index)
        m_bindings[index].save(*buttons, corvane::layers::keyName(index));
}

void KVLayer::activate() {
    if (isActive())
        return;
    for (auto& binding : m_bindings)
        binding.activatePlugins();
    KVLayersItem::activate();
}

void KVLayer::deactivate() {
    if (!isActive())
        return;
    KVLayersItem::deactivate();
    for (auto& binding : m_bindings)
        binding.deactivatePlugins();
}
