#include "shell/MainController.h"

#include "conditions/ConditionEnvironment.h"
#include "core/MessageDispatch.h"
#include "device/UdevBackend.h"
#include "device/VirtualKeyboardBackend.h"
#include "devicectl/Device.h"
#include "devicectl/DeviceController.h"
#include "devicectl/LayersDisplayBindings.h"
#include "devicectl/XScreenSaverIdle.h"
#include "hook/SystemHook.h"
#include "images/KVGlobalImageList.h"
#include "images/KVTextRenderer.h"
#include "images/VipsRuntime.h"
#include "layers/KeyNames.h"
#include "layers/LayerCake.h"
#include "layers/LayerPluginHolders.h"
#include "layers/LayersController.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "shell/EditorHost.h"
#include "store/ConfigurationStore.h"
#include "store/StoreFolders.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"
#include "system/LayoutLayers.h"
#include "system/linux/DesktopEntries.h"
#include "system/linux/ProcProcessTable.h"
#include "system/linux/SessionLayouts.h"

#include <spdlog/spdlog.h>

KVMainController::KVMainController(KVServiceRegistry& services, KVMainLoop& loop,
                                   CKVMessageDispatch& dispatch, KVSystemHook& hook, IKVEditorHost* editor,
                                   const KVKeyboardOptions& keyboard)
    : m_services(services), m_dispatch(dispatch), m_editor(editor) {
    // The long-lived services, in the order they must be created. Each registers its message handlers
    // in its constructor, so this order is also the order in which the handlers of one message run.
    services.get<KVConditionEnvironment>();
    m_environment = services.shared<KVConditionEnvironment>();
    m_environment->hook = &hook;

    // The graphics library, and what draws with it.
    if (!corvane::images::startVips())
        spdlog::error("the picture library did not start: key pictures cannot be loaded");
    auto& images = services.get<KVGlobalImageList>();
    services.get<KVTextRenderer>();

    // The keyboard-layout catalogue.
    auto& sessionLayouts = services.get<KVSessionLayouts>(&hook);
    auto& layouts = services.get<KVKeyboardLayouts>(sessionLayouts, &images);
    m_environment->layouts = &layouts;

    // The application catalogue.
    auto& applications = services.get<KVSysApplicationsController>(
        dispatch, hook, std::make_shared<KVProcProcessTable>(), KVApplicationSources::fromEnvironment());
    m_environment->applications = &applications;

    // The plug-in registry (filled when the configuration loads) and the plug-in instance factory. They
    // come before the layer cake because its bindings and conditions hold instances that use them, so
    // they must go after it.
    m_plugins = &services.get<KVPluginRegistry>();
    auto& instances = services.get<KVPluginInstanceFactory>(m_plugins, &dispatch);
    m_environment->plugins = &instances;

    // The layer cake.
    m_cake = &services.get<KVLayerCake>(KVLayerLoadContext{m_environment, &instances});

    // The temporary folder.
    m_folders = &services.get<KVStoreFolders>();
    if (m_folders->temporaryFolder().empty())
        spdlog::error("no private temporary folder: archives and the editor's scratch files are unavailable");
    m_pluginHolders = std::make_unique<KVLayerPluginHolders>(*m_cake, m_folders->layersFolder());
    instances.setHolders(m_pluginHolders.get());

    // The layers controller, then the device controller and the keyboard.
    m_layers = &services.get<KVLayersController>(dispatch, *m_cake, m_environment);
    m_deviceController = &services.get<KVDeviceController>(
        loop, dispatch, std::make_shared<KVLayersDisplayBindings>(*m_layers), KVXScreenSaverIdle::open());
    KVPtr<KVDeviceBackend> backend;
    if (keyboard.virtualKeyboard) {
        spdlog::info("driving the virtual keyboard in {}", *keyboard.virtualKeyboard);
        backend = std::make_shared<KVVirtualKeyboardBackend>(*keyboard.virtualKeyboard);
    } else {
        backend = std::make_shared<KVUdevBackend>();
    }
    m_device = &services.get<KVDevice>(*m_deviceController, backend, loop, dispatch);
    m_environment->keyboard = m_device;
    if (keyboard.watchSession)
        m_device->WatchSession();

    m_dispatch.RegisterHandler(KVM_SHOW_EDITOR, this, &KVMainController::ShowEditor);
    m_dispatch.RegisterHandler(KVM_OPEN_LAYERS_FILE, this, &KVMainController::OpenLayersFile);
}

KVMainController::~KVMainController() {
    m_dispatch.UnregisterHandlers(this);
    if (auto* instances = m_services.find<KVPluginInstanceFactory>())
        instances->setHolders(nullptr);
}

void KVMainController::LoadAndStart() {
    m_store = std::make_unique<KVConfigurationStore>(
        *m_folders,
        KVConfigurationControllers{*m_cake, m_plugins, *m_deviceController,
                                   *m_services.find<KVSysApplicationsController>()},
        corvane::layers::keyNamePredicate());
    m_store->loadConfiguration();

    const std::string programFolder = m_folders->programFolder();
    m_cake->setUpUserLayers(programFolder);
    m_layoutLayers = std::make_unique<KVLayoutLayers>(*m_services.find<KVKeyboardLayouts>(),
                                                      *m_services.find<KVTextRenderer>(), m_environment);
    m_cake->setUpSystemLayers(programFolder, m_layoutLayers->builder());
    m_layers->Start();

    if (!m_device->ConnectAtStartUp())
        spdlog::info("no keyboard yet; it is brought up to date when it arrives");
}

bool KVMainController::EditorClosed() {
    m_layers->EditorClosed();
    const bool saved = m_store && m_store->saveConfiguration();
    if (!saved)
        spdlog::error("the configuration was not saved completely");
    return saved;
}

void KVMainController::Shutdown() {
    if (m_editor && m_editor->HasEditor()) {
        spdlog::info("closing the editor");
        m_editor->CloseEditor();
    }
    m_layers->Shutdown();
    m_cake->clear();
}

void KVMainController::Exit() {
    if (m_editor && m_editor->HasEditor())
        m_editor->CloseEditor();
    m_dispatch.Post(KVM_CLOSE);
}

void KVMainController::ShowEditor() {
    if (!m_editor) {
        spdlog::info("asked to show the editor, but this instance runs without one");
        return;
    }
    if (!m_editor->ShowEditor())
        spdlog::error("the editor window could not be created; the next request tries again");
}

void KVMainController::OpenLayersFile(const char* path) {
    spdlog::info("asked to import the layers archive \"{}\"; importing archives is not available yet", path);
}
