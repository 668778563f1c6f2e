#pragma once

#include "layers/CompositeLayer.h"
#include "layers/LayersItem.h"

#include <vector>

// Deciding which items are active, and collecting layers from the cake.
namespace corvane::layers {

// Evaluates `items` in order: an item that qualifies is activated (a group evaluates its children),
// one that does not is deactivated (a group switches off its children, except those shown for editing).
// Layers coming on are appended to `active`, layers going off removed. Answers whether `active` changed.
bool evaluateItems(const KVLayerCakeItemsStorage& items, KVCompositeLayer& active);
bool activateItem(const KVPtr<KVLayersItem>& item, KVCompositeLayer& active);
bool deactivateItem(const KVPtr<KVLayersItem>& item, KVCompositeLayer& active);

// The layers carrying `flag`, depth-first in cake order. A group is not tested itself: group flags act
// only through the activation of their layers.
KVCompositeLayer collectLayers(const KVLayerCakeItemsStorage& items, uint32_t flag);

// The groups from the top of the cake down to `item`, and the item itself last; empty when it is not in
// the cake.
std::vector<KVPtr<KVLayersItem>> pathTo(const KVLayerCakeItemsStorage& items, const KVLayersItem* item);

// Calls `visit` for every item below `items`, depth-first in order.
template <class Visit> void forEachItem(const KVLayerCakeItemsStorage& items, Visit&& visit) {
    for (const auto& item : items) {
        visit(item);
        forEachItem(item->children(), visit);
    }
}

} // namespace corvane::layers
