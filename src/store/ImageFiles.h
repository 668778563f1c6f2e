#pragma once

#include "store/FileSystem.h"
#include "store/PropertyNode.h"

#include <string>
#include <string_view>

namespace corvane {

// True for a name that can stand as one file or folder name inside a folder of ours: not empty, not
// "." or "..", and without a slash. Names read from stored documents become paths only through this.
bool isPlainFileName(std::string_view name);

// Stores the image carried by a layer document's entry as folder/<entry value>.png when `writeAll` is
// set or the image is marked changed: an image holding pixels is written as PNG, one that only names its
// source file is copied from that file. After a successful store without `writeAll` the changed mark is
// cleared; a failed one keeps it, so the next save tries again. True when nothing had to be written or
// the file was written.
bool storeEntryImage(const KVPropertyNode& entry, const std::string& folder, bool writeAll,
                     KVFileSystem& fs = KVFileSystem::system());

// Writes `node` as a layer document at `path`: like savePropertyList, with image entries stored beside
// it by storeEntryImage instead of appearing in the document. False when the document or an image could
// not be written (everything that could be written is).
bool savePropertyListWithImages(const KVPropertyNode& node, const std::string& path,
                                const std::string& folder, bool writeAll,
                                KVFileSystem& fs = KVFileSystem::system());

} // namespace corvane
