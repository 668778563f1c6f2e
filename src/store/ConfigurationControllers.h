#pragma once

#include "core/KVPtr.h"
#include "store/PropertyNode.h"

#include <string>

// What the configuration store asks of the controllers that own the pieces of the stored configuration.
// The controllers implement these; the store only moves property trees between them and the disk.

// The layer cake: the user's layer tree.
class IKVLayerCakeConfiguration {
public:
    virtual ~IKVLayerCakeConfiguration() = default;
    // Given the "Layers" group node: one top-level item per "ItemOrder" entry, in order.
    virtual void loadLayers(const KVPtr<KVPropertyNode>& layers) = 0;
    // Adds a node "Layers" (a group with "DisplayName" = "root") to the fresh root.
    virtual void saveLayers(KVPropertyNode& root) = 0;
};

// The plug-in registry: filled from the plug-ins folder at start-up, never written back.
class IKVPluginRegistryConfiguration {
public:
    virtual ~IKVPluginRegistryConfiguration() = default;
    // Fills `plugins` with one dictionary per plug-in folder found in `pluginsFolder`.
    virtual void scanPluginFolders(const std::string& pluginsFolder, KVPropertyNode& plugins) = 0;
    // Takes its entries from the root's "Plugins".
    virtual void fillRegistry(const KVPtr<KVPropertyNode>& root) = 0;
};

// A controller whose settings are one node of the root: the device controller ("Device") and the
// applications controller ("Applications").
class IKVSettingsConfiguration {
public:
    virtual ~IKVSettingsConfiguration() = default;
    // Given the whole root; a missing node of its own means defaults.
    virtual void loadSettings(const KVPtr<KVPropertyNode>& root) = 0;
    // Adds its node to the fresh root.
    virtual void saveSettings(KVPropertyNode& root) = 0;
};

// The four controllers in the order the configuration is handed to and gathered from them. Without a
// plug-in registry the "Plugins" node stays empty.
struct KVConfigurationControllers {
    IKVLayerCakeConfiguration& layerCake;
    IKVPluginRegistryConfiguration* pluginRegistry;
    IKVSettingsConfiguration& deviceController;
    IKVSettingsConfiguration& applicationsController;
};
