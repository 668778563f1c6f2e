#pragma once

#include "store/FileSystem.h"
#include "store/PropertyNode.h"

#include <functional>
#include <string>
#include <string_view>

// Whether a "Buttons" entry names a key of the keyboard (the key table lives with the device code).
using KVKeyNamePredicate = std::function<bool(std::string_view)>;

namespace corvane {

// Reads the item stored in `folder` into `node`: a group when the folder holds "Group.plist" (the node
// gets "Type" = "Group", the document's entries, then every "ItemOrder" entry read from its own
// subfolder), else a layer when it holds "Layer.plist" (the document's entries, and for each "Buttons"
// entry named by a key whose <key>.png lies beside it an "Image" child carrying that picture). A folder
// with neither leaves the node as it is.
void loadItemFolder(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName);

// Reads `folder` into `node` as a group; without "Group.plist" the group has no items.
void loadGroupFolder(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName);

// Writes the item `node` into parentFolder/<node name>: "Group.plist" (its "ItemOrder" as an array, each
// item in its own subfolder) when its "Type" is "Group", else "Layer.plist" with its pictures beside it
// (all of them with `writeAll`, otherwise only those marked changed). Carries on past failures and
// answers whether everything was written.
bool saveItemFolder(const std::string& parentFolder, const KVPropertyNode& node, bool writeAll,
                    KVFileSystem& fs = KVFileSystem::system());

} // namespace corvane
