#pragma once

#include "plugins/PluginInfo.h"
#include "store/ConfigurationControllers.h"

#include <string>
#include <vector>

// Every installed plug-in, in the order the plug-in folders listed them. Filled once at start-up from the
// stored configuration's "Plugins" node and never rescanned; main thread only.
class KVPluginRegistry final : public IKVPluginRegistryConfiguration {
public:
    using Plugins = std::vector<KVPtr<KVPluginInfo>>;

    // One dictionary per subfolder of `pluginsFolder` whose "Info.plist" parses and is not empty, named
    // by the plug-in's identity, with "Path" set to <folder>/<name>/<name>.so. A plug-in already in
    // `plugins` is replaced in its place, so of two folders declaring one identity the later one wins.
    void scanPluginFolders(const std::string& pluginsFolder, KVPropertyNode& plugins) override;
    void fillRegistry(const KVPtr<KVPropertyNode>& root) override;

    // Appends, first removing a plug-in of the same identity.
    void add(KVPtr<KVPluginInfo> plugin);
    const Plugins& plugins() const { return m_plugins; }

    KVPtr<KVPluginInfo> find(const std::string& pluginId) const;
    KVPtr<KVSubPluginInfo> findSubPlugin(KVSubPluginKind kind, const std::string& pluginId,
                                         const std::string& subPluginId) const;
    KVPtr<KVSubPluginInfo> findView(const std::string& pluginId, const std::string& subPluginId) const {
        return findSubPlugin(KVSubPluginKind::View, pluginId, subPluginId);
    }
    KVPtr<KVSubPluginInfo> findAction(const std::string& pluginId, const std::string& subPluginId) const {
        return findSubPlugin(KVSubPluginKind::Action, pluginId, subPluginId);
    }
    KVPtr<KVSubPluginInfo> findCondition(const std::string& pluginId, const std::string& subPluginId) const {
        return findSubPlugin(KVSubPluginKind::Condition, pluginId, subPluginId);
    }

private:
    Plugins m_plugins;
};
