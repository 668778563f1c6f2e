#pragma once

#include "control/ControlCommands.h"
#include "core/KVPtr.h"
#include "store/ConfigurationControllers.h"

#include <memory>
#include <string>

class CKVMessageDispatch;
class KVConfigurationStore;
class KVLayerCake;
class KVLayersController;
class KVMainLoop;
class KVStoreFolders;
struct KVConditionEnvironment;

// Settings that the tool does not change but must write back as they were read ("Device",
// "Applications"), so that saving the profile loses nothing.
class KVKeptSettings final : public IKVSettingsConfiguration {
public:
    explicit KVKeptSettings(std::string name) : m_name(std::move(name)) {}
    void loadSettings(const KVPtr<KVPropertyNode>& root) override;
    void saveSettings(KVPropertyNode& root) override;

private:
    std::string m_name;
    KVPtr<KVPropertyNode> m_node;
};

// The user's profile, loaded by the tool when no configurator runs: the same layer model the program
// builds, changed through the same commands and saved the same way (atomically). Nothing here touches
// a keyboard.
class KVOfflineProfile {
public:
    KVOfflineProfile(KVStoreFolders& folders, KVMainLoop& loop);
    ~KVOfflineProfile();
    KVOfflineProfile(const KVOfflineProfile&) = delete;
    KVOfflineProfile& operator=(const KVOfflineProfile&) = delete;

    KVControlCommands& commands() { return *m_commands; }

private:
    bool save();

    KVStoreFolders& m_folders;
    std::unique_ptr<CKVMessageDispatch> m_dispatch;
    KVPtr<KVConditionEnvironment> m_environment;
    std::unique_ptr<KVLayerCake> m_cake;
    std::unique_ptr<KVLayersController> m_layers;
    KVKeptSettings m_device{"Device"};
    KVKeptSettings m_applications{"Applications"};
    std::unique_ptr<KVConfigurationStore> m_store;
    std::unique_ptr<KVControlCommands> m_commands;
};
