#pragma once

#include "layers/ArchiveReader.h"
#include "layers/LayersItem.h"

#include <string>
#include <string_view>

class CKVMessageDispatch;
class KVLayerCake;
class KVLayersController;

// Layer archives (".layers" written; ".layers" and ".zqlz" read): the folder of one item, zipped without
// the item's own folder name. Each export and import works in a fresh staging folder inside the
// temporary folder, removed afterwards whatever happened.
namespace corvane::layers {

// An imported item, or why there is none.
struct KVImportResult {
    KVPtr<KVLayersItem> item;
    std::string error;

    explicit operator bool() const { return item != nullptr; }
};

// Writes `item`, everything below it and all its pictures into the archive.
KVArchiveStatus exportItem(const KVLayersItem& item, const std::string& archivePath,
                           const std::string& temporaryFolder);

// Reads the item an archive holds. It gets a fresh identifier (its children keep theirs) and every
// picture is marked changed, so the next save writes it into the profile. An archive that holds its
// item inside one folder (a folder zipped by hand) is read from that folder.
KVImportResult importArchive(const std::string& archivePath, const std::string& temporaryFolder,
                             const KVLayerLoadContext& context, const KVArchiveLimits& limits = {});

// A ".layers" file given on the command line or by a second instance: imports it, places the item among
// the user's layers, re-evaluates, and posts KVM_LAYERS_IMPORTED so an open editor rebuilds its tree.
// Nothing changes when the import fails.
KVImportResult openLayersFile(const std::string& archivePath, const std::string& temporaryFolder,
                              KVLayerCake& cake, KVLayersController& controller,
                              CKVMessageDispatch& dispatch);

} // namespace corvane::layers
