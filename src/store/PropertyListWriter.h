#pragma once

#include "store/FileSystem.h"
#include "store/PropertyNode.h"

#include <functional>
#include <pugixml.hpp>
#include <string>

using KVImageEntryWriter = std::function<void(const KVPropertyNode&)>;

namespace corvane {

// Writes the children of `node` into the "dict" element `dict`, each as a "key" followed by its value:
// a nested "dict" for a child with children, an empty "true"/"false" for those two values, a "string"
// otherwise. False when the tree is nested deeper than a stored document may be.
bool writeEntries(pugi::xml_node dict, const KVPropertyNode& node);

// Writes `node`'s children as the top-level dictionary of a new document at `path`.
bool savePropertyList(const KVPropertyNode& node, const std::string& path,
                      KVFileSystem& fs = KVFileSystem::system());

// The writer of layer documents: like writeEntries, but a child carrying an image is left out of the
// document and handed to `storeImage`, which stores the picture and notes its own failures.
bool writeEntries(pugi::xml_node dict, const KVPropertyNode& node, const KVImageEntryWriter& storeImage);

} // namespace corvane
