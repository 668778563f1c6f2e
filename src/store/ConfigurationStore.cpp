#include "store/ConfigurationStore.h"

#include "core/Log.h"
#include "store/FileTree.h"
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"

namespace {

constexpr const char* kDeviceDocument = "/Device.plist";
constexpr const char* kApplicationsDocument = "/Applications.plist";

bool removeStaleAt(const KVPropertyNode& group, const std::string& folder, int depth) {
    if (depth > corvane::kMaxPropertyListDepth)
        return false;
    const auto order = group.findChild("ItemOrder");
    bool ok = true;
    for (const auto& name : corvane::subfolderNames(folder)) {
        const auto item = order ? order->findChild(name) : nullptr;
        if (!item) {
            corvane::logger("store").info("removing the folder of deleted item {}/{}", folder, name);
            ok = corvane::deleteTree(folder + "/" + name) && ok;
        } else if (item->childValue("Type") == "Group") {
            ok = removeStaleAt(*item, folder + "/" + name, depth + 1) && ok;
        }
    }
    return ok;
}

} // namespace

KVConfigurationStore::KVConfigurationStore(KVStoreFolders& folders, KVConfigurationControllers controllers,
                                           KVKeyNamePredicate isKeyName, KVFileSystem& fs)
    : m_folders(folders), m_controllers(controllers), m_isKeyName(std::move(isKeyName)), m_fs(fs) {}

KVPtr<KVPropertyNode> KVConfigurationStore::loadConfiguration() {
    auto root = KVPropertyNode::create("root");

    auto layers = root->addChild("Layers");
    corvane::loadGroupFolder(m_folders.layersFolder(), *layers, m_isKeyName);

    auto plugins = root->addChild("Plugins");
    if (m_controllers.pluginRegistry)
        for (const auto& folder : m_folders.pluginsFolders())
            m_controllers.pluginRegistry->scanPluginFolders(folder, *plugins);

    const std::string profile = m_folders.profileFolder();
    if (auto device = corvane::loadPropertyList(profile + kDeviceDocument, "Device"))
        root->setChild(device);
    if (auto applications = corvane::loadPropertyList(profile + kApplicationsDocument, "Applications"))
        root->setChild(applications);

    m_controllers.layerCake.loadLayers(layers);
    if (m_controllers.pluginRegistry)
        m_controllers.pluginRegistry->fillRegistry(root);
    m_controllers.deviceController.loadSettings(root);
    m_controllers.applicationsController.loadSettings(root);
    return root;
}

bool KVConfigurationStore::saveConfiguration() {
    auto root = KVPropertyNode::create("root");
    m_controllers.layerCake.saveLayers(*root);
    m_controllers.deviceController.saveSettings(*root);
    m_controllers.applicationsController.saveSettings(*root);

    const std::string profile = m_folders.profileFolder();
    bool ok = corvane::ensureFolder(profile);

    if (const auto layers = root->findChild("Layers")) {
        // Written first: a layer moved to another group may still need picture files from its old folder.
        ok = corvane::saveItemFolder(profile, *layers, false, m_fs) && ok;
        ok = removeStaleItemFolders(*layers, m_folders.layersFolder()) && ok;
    }
    if (const auto device = root->findChild("Device"))
        ok = corvane::savePropertyList(*device, profile + kDeviceDocument, m_fs) && ok;
    if (const auto applications = root->findChild("Applications"))
        ok = corvane::savePropertyList(*applications, profile + kApplicationsDocument, m_fs) && ok;
    if (!ok)
        corvane::logger("store").error("the configuration was not completely saved to {}", profile);
    return ok;
}

bool KVConfigurationStore::saveDeviceSettings() {
    auto root = KVPropertyNode::create("root");
    m_controllers.deviceController.saveSettings(*root);
    const auto device = root->findChild("Device");
    const std::string profile = m_folders.profileFolder();
    const bool ok = device && corvane::ensureFolder(profile) &&
                    corvane::savePropertyList(*device, profile + kDeviceDocument, m_fs);
    if (!ok)
        corvane::logger("store").error("the keyboard settings were not saved to {}{}", profile,
                                       kDeviceDocument);
    return ok;
}

bool KVConfigurationStore::removeStaleItemFolders(const KVPropertyNode& group, const std::string& folder) {
    return removeStaleAt(group, folder, 0);
}
