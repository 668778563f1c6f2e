#pragma once

#include "layers/Layer.h"

#include <vector>

// Layers stacked for composition: for each key the first layer with a set binding supplies it whole.
class KVCompositeLayer {
public:
    using Layers = std::vector<KVPtr<KVLayer>>;

    KVCompositeLayer() = default;
    explicit KVCompositeLayer(Layers layers) : m_layers(std::move(layers)) {}

    // The binding in force for key `index`, or null when no layer binds it (or the index is past the
    // table). Picture and action always come from the same layer.
    const KVKeyBinding* binding(unsigned index) const {
        if (index >= corvane::layers::kLayerKeyCount)
            return nullptr;
        for (const auto& layer : m_layers)
            if (const auto& found = layer->binding(index); found.isSet())
                return &found;
        return nullptr;
    }

    const Layers& layers() const { return m_layers; }
    bool empty() const { return m_layers.empty(); }
    size_t size() const { return m_layers.size(); }
    bool contains(const KVLayer* layer) const;
    // Appends a layer that is not in yet; answers whether it did.
    bool append(KVPtr<KVLayer> layer);
    // For a caller that knows the layer is not in yet.
    void appendUnchecked(KVPtr<KVLayer> layer) { m_layers.push_back(std::move(layer)); }
    bool remove(const KVLayer* layer);
    void clear() { m_layers.clear(); }

private:
    Layers m_layers;
};
