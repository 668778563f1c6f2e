#include "control/OfflineProfile.h"

#include "conditions/ConditionEnvironment.h"
#include "core/MessageDispatch.h"
#include "layers/KeyNames.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "store/ConfigurationStore.h"
#include "store/StoreFolders.h"

void KVKeptSettings::loadSettings(const KVPtr<KVPropertyNode>& root) {
    m_node = root ? root->findChild(m_name) : nullptr;
}

void KVKeptSettings::saveSettings(KVPropertyNode& root) {
    if (m_node)
        root.setChild(m_node);
}

KVOfflineProfile::KVOfflineProfile(KVStoreFolders& folders, KVMainLoop& loop)
    : m_folders(folders), m_dispatch(std::make_unique<CKVMessageDispatch>(loop)),
      m_environment(std::make_shared<KVConditionEnvironment>()),
      m_cake(std::make_unique<KVLayerCake>(KVLayerLoadContext{m_environment, nullptr})),
      m_layers(std::make_unique<KVLayersController>(*m_dispatch, *m_cake, m_environment)) {
    m_store = std::make_unique<KVConfigurationStore>(
        folders, KVConfigurationControllers{*m_cake, nullptr, m_device, m_applications},
        corvane::layers::keyNamePredicate());
    m_store->loadConfiguration();
    // As the program does at start-up, so that there is a place for new layers.
    m_cake->setUpUserLayers(folders.programFolder());
    m_commands = std::make_unique<KVControlCommands>(KVControlServices{*m_cake,
                                                                       *m_layers,
                                                                       *m_dispatch,
                                                                       folders.temporaryFolder(),
                                                                       folders.programFolder(),
                                                                       {},
                                                                       {},
                                                                       nullptr,
                                                                       [this] { return save(); },
                                                                       "profile"});
}

KVOfflineProfile::~KVOfflineProfile() {
    m_commands.reset();
    m_layers->Shutdown();
    m_cake->clear();
}

bool KVOfflineProfile::save() {
    return m_store->saveConfiguration();
}
