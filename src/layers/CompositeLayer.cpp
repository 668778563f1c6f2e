#include "layers/CompositeLayer.h"

#include <algorithm>

bool KVCompositeLayer::contains(const KVLayer* layer) const {
    return std::any_of(m_layers.begin(), m_layers.end(),
                       [&](const auto& held) { return held.get() == layer; });
}

bool KVCompositeLayer::append(KVPtr<KVLayer> layer) {
    if (!layer || contains(layer.get()))
        return false;
    m_layers.push_back(std::move(layer));
    return true;
}

bool KVCompositeLayer::remove(const KVLayer* layer) {
    const auto found =
        std::find_if(m_layers.begin(), m_layers.end(), [&](const auto& held) { return held.get() == layer; });
    if (found == m_layers.end())
        return false;
    m_layers.erase(found);
    return true;
}
