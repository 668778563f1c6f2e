#pragma once

#include "layers/KeyBinding.h"
#include "layers/KeyNames.h"
#include "layers/LayersItem.h"

#include <array>

// A layer: one binding per key of the main keyboard, indexed by the key table.
class KVLayer final : public KVLayersItem {
public:
    using Bindings = std::array<KVKeyBinding, corvane::layers::kLayerKeyCount>;

    KVLayer() = default;
    ~KVLayer() override;

    // `index` must be below kLayerKeyCount.
    KVKeyBinding& binding(unsigned index) { return m_bindings[index]; }
    const KVKeyBinding& binding(unsigned index) const { return m_bindings[index]; }
    const Bindings& bindings() const { return m_bindings; }

    void load(const std::string& identifier, const KVPropertyNode& node,
              const KVLayerLoadContext& context) override;
    void save(KVPropertyNode& parent) const override;
    // The first activation brings the bindings' plug-in instances into use; deactivation releases them.
    void activate() override;
    void deactivate() override;

private:
    void loadButtons(const KVPropertyNode& buttons, KVPluginInstanceFactory* plugins);

    Bindings m_bindings;
};
