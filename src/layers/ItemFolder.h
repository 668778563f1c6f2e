#pragma once

#include "layers/LayersItem.h"
#include "store/FileSystem.h"

#include <string>

class KVPropertyNode;

namespace corvane::layers {

// A group when the node's "Type" is "Group", else a layer; loaded from the node, whose name becomes its
// identifier. Never empty.
KVPtr<KVLayersItem> createItemFromNode(const KVPropertyNode& node, const KVLayerLoadContext& context);

// The item stored in `folder` under the identifier `identifier`. A folder with neither document gives an
// empty layer (logged).
KVPtr<KVLayersItem> loadItemFromFolder(const std::string& folder, const std::string& identifier,
                                       const KVLayerLoadContext& context);

// Writes `item` as parentFolder/<identifier>: pictures all of them with `writeAll`, else only those
// marked changed. Answers whether everything was written.
bool saveItemToFolder(const std::string& parentFolder, const KVLayersItem& item, bool writeAll,
                      KVFileSystem& fs = KVFileSystem::system());

// Marks every picture of the item and everything below it changed, so that the next save writes it into
// the profile (items that came from the program folder or an archive).
void markPicturesChanged(KVLayersItem& item);

} // namespace corvane::layers
