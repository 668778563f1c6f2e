#include "layers/ItemFolder.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayersGroup.h"
#include "store/FileTree.h"
#include "store/ItemFolders.h"
#include "store/PropertyNode.h"

namespace corvane::layers {

KVPtr<KVLayersItem> createItemFromNode(const KVPropertyNode& node, const KVLayerLoadContext& context) {
    KVPtr<KVLayersItem> item;
    if (node.childValue("Type") == "Group")
        item = std::make_shared<KVLayersGroup>();
    else
        item = std::make_shared<KVLayer>();
    item->load(node.name(), node, context);
    return item;
}

KVPtr<KVLayersItem> loadItemFromFolder(const std::string& folder, const std::string& identifier,
                                       const KVLayerLoadContext& context) {
    auto node = KVPropertyNode::create(identifier);
    loadItemFolder(folder, *node, keyNamePredicate());
    if (!node->hasChildren())
        corvane::logger("layers").warn("no item is stored in {}; taking an empty layer", folder);
    return createItemFromNode(*node, context);
}

bool saveItemToFolder(const std::string& parentFolder, const KVLayersItem& item, bool writeAll) {
    auto parent = KVPropertyNode::create("parent");
    item.save(*parent);
    return saveItemFolder(parentFolder, *parent->children().front(), writeAll);
}

void markPicturesChanged(KVLayersItem& item) {
    if (auto* layer = dynamic_cast<KVLayer*>(&item)) {
        for (unsigned index = 0; index < kLayerKeyCount; ++index)
            if (const auto& image = layer->binding(index).image)
                image->setChanged(true);
    }
    for (const auto& child : item.children())
        markPicturesChanged(*child);
}

} // namespace corvane::layers
