#pragma once

#include "layers/LayersItem.h"

// A group of layers and groups. Its conditions gate everything below it.
class KVLayersGroup final : public KVLayersItem {
public:
    const KVLayerCakeItemsStorage& children() const override { return m_children; }
    KVLayerCakeItemsStorage& items() { return m_children; }

    // Builds one child per "ItemOrder" entry, in order; an identifier listed twice is taken once.
    void load(const std::string& identifier, const KVPropertyNode& node,
              const KVLayerLoadContext& context) override;
    void save(KVPropertyNode& parent) const override;
    bool isGroup() const override { return true; }

private:
    KVLayerCakeItemsStorage m_children;
};
