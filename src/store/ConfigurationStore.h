#pragma once

#include "core/KVPtr.h"
#include "store/ConfigurationControllers.h"
#include "store/FileSystem.h"
#include "store/ItemFolders.h"
#include "store/PropertyNode.h"
#include "store/StoreFolders.h"

#include <string>

// Gathers the stored configuration into one tree at start-up and hands it to the controllers; writes
// what they hold back to the profile folder each time the editor closes.
//
//   profile folder/Layers/...          "Layers": the user's layer tree, one folder per item
//   profile folder/Device.plist        "Device"
//   profile folder/Applications.plist  "Applications"
//   plug-ins folder                    "Plugins" (read only)
class KVConfigurationStore {
public:
    KVConfigurationStore(KVStoreFolders& folders, KVConfigurationControllers controllers,
                         KVKeyNamePredicate isKeyName, KVFileSystem& fs = KVFileSystem::system());

    // Reads the tree "root" (Layers, Plugins, then Device and Applications when their files parse) and
    // hands it to the layer cake, plug-in registry, device and applications controllers, in that order.
    // Missing or broken files count as absent.
    KVPtr<KVPropertyNode> loadConfiguration();

    // Gathers a fresh tree from the controllers, removes item folders no longer in the layer tree, then
    // writes the layers (changed pictures only), "Device.plist" and "Applications.plist". A failure is
    // logged and the rest is still written; the answer says whether everything was.
    bool saveConfiguration();
    // Writes "Device.plist" alone: the keyboard's settings are kept the moment they change, without
    // rewriting the layers.
    bool saveDeviceSettings();

    // Deletes every folder in `folder` that the group's "ItemOrder" does not list, and does the same in
    // listed subgroups. Plain files are left alone.
    static bool removeStaleItemFolders(const KVPropertyNode& group, const std::string& folder);

private:
    KVStoreFolders& m_folders;
    KVConfigurationControllers m_controllers;
    KVKeyNamePredicate m_isKeyName;
    KVFileSystem& m_fs;
};
