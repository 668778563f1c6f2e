#include "plugins/PluginRegistry.h"

#include "core/Log.h"
#include "store/PropertyListReader.h"
#include "store/PropertyNode.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The plug-in dictionary of one folder, with "Path" set; empty when the folder holds no usable
// description.
KVPtr<KVPropertyNode> describeFolder(const fs::path& folder) {
    const auto document = corvane::loadPropertyList((folder / "Info.plist").string(), "temp_prefs");
    if (!document || document->children().empty() || !document->children().front())
        return nullptr;
    auto plugin = document->children().front();
    const std::string name = folder.filename().string();
    // The library is always the one beside the description, whatever the file claims.
    plugin->setChild(KVPropertyNode::create("Path", (folder / (name + ".so")).string()));
    return plugin;
}

// Subfolders in name order, so that which of two clashing folders wins does not depend on the file
// system.
std::vector<fs::path> subfolders(const std::string& folder) {
    std::vector<fs::path> result;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (std::error_code typeError; it->is_directory(typeError))
            result.push_back(it->path());
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace

void KVPluginRegistry::scanPluginFolders(const std::string& pluginsFolder, KVPropertyNode& plugins) {
    for (const auto& folder : subfolders(pluginsFolder)) {
        if (auto plugin = describeFolder(folder))
            plugins.setChild(plugin);
        else
            corvane::logger("plugins").debug("{} holds no usable Info.plist; skipped", folder.string());
    }
}

void KVPluginRegistry::fillRegistry(const KVPtr<KVPropertyNode>& root) {
    const auto plugins = root ? root->findChild("Plugins") : nullptr;
    if (!plugins)
        return;
    for (const auto& entry : plugins->children())
        if (entry)
            add(KVPluginInfo::fromNode(*entry));
    corvane::logger("plugins").info("{} plug-in(s) installed", m_plugins.size());
}

void KVPluginRegistry::add(KVPtr<KVPluginInfo> plugin) {
    if (!plugin)
        return;
    std::erase_if(m_plugins,
                  [&](const auto& existing) { return existing->PluginID() == plugin->PluginID(); });
    m_plugins.push_back(std::move(plugin));
}

KVPtr<KVPluginInfo> KVPluginRegistry::find(const std::string& pluginId) const {
    const auto it = std::find_if(m_plugins.begin(), m_plugins.end(),
                                 [&](const auto& plugin) { return plugin->PluginID() == pluginId; });
    return it == m_plugins.end() ? nullptr : *it;
}

KVPtr<KVSubPluginInfo> KVPluginRegistry::findSubPlugin(KVSubPluginKind kind, const std::string& pluginId,
                                                       const std::string& subPluginId) const {
    const auto plugin = find(pluginId);
    return plugin ? plugin->findSubPlugin(kind, subPluginId) : nullptr;
}
