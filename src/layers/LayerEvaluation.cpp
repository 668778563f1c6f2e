#include "layers/LayerEvaluation.h"

namespace corvane::layers {
namespace {

void collectInto(const KVLayerCakeItemsStorage& items, uint32_t flag, KVCompositeLayer& out) {
    for (const auto& item : items) {
        if (!item->children().empty()) {
            collectInto(item->children(), flag, out);
        } else if (item->hasFlag(flag) && !item->isGroup()) {
            // The walk meets each layer once; no need to look for it first.
            out.appendUnchecked(std::static_pointer_cast<KVLayer>(item));
        }
    }
}

bool findPath(const KVLayerCakeItemsStorage& items, const KVLayersItem* target,
              std::vector<KVPtr<KVLayersItem>>& path) {
    for (const auto& item : items) {
        path.push_back(item);
        if (item.get() == target || findPath(item->children(), target, path))
            return true;
        path.pop_back();
    }
    return false;
}

} // namespace

bool activateItem(const KVPtr<KVLayersItem>& item, KVCompositeLayer& active) {
    bool changed = false;
    if (item->isGroup()) {
        if (!item->children().empty())
            changed = evaluateItems(item->children(), active);
    } else if (!item->isActive()) {
        // Identity, not the identifier, decides: two layers may share an identifier in different groups.
        changed = active.append(std::static_pointer_cast<KVLayer>(item));
    }
    if (!item->isActive())
        item->activate();
    return changed;
}

bool deactivateItem(const KVPtr<KVLayersItem>& item, KVCompositeLayer& active) {
    bool changed = false;
    if (item->isGroup()) {
        for (const auto& child : item->children())
            if (!child->isShownForEditing())
                changed = deactivateItem(child, active) || changed;
    } else {
        changed = active.remove(static_cast<const KVLayer*>(item.get()));
    }
    item->deactivate();
    return changed;
}

bool evaluateItems(const KVLayerCakeItemsStorage& items, KVCompositeLayer& active) {
    bool changed = false;
    for (const auto& item : items) {
        if (item->qualifies())
            changed = activateItem(item, active) || changed;
        else
            changed = deactivateItem(item, active) || changed;
    }
    return changed;
}

KVCompositeLayer collectLayers(const KVLayerCakeItemsStorage& items, uint32_t flag) {
    KVCompositeLayer out;
    collectInto(items, flag, out);
    return out;
}

std::vector<KVPtr<KVLayersItem>> pathTo(const KVLayerCakeItemsStorage& items, const KVLayersItem* item) {
    std::vector<KVPtr<KVLayersItem>> path;
    if (!findPath(items, item, path))
        path.clear();
    return path;
}

} // namespace corvane::layers
