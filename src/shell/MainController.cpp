#include "shell/MainController.h"

#include "conditions/ConditionEnvironment.h"
#include "core/Log.h"
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
#include "layers/LayersController.h"
#include "layers/LayoutLayers.h"
#include "shell/EditorHost.h"
#include "store/ConfigurationStore.h"
#include "store/StoreFolders.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"
#include "system/linux/DesktopEntries.h"
#include "system/linux/ProcProcessTable.h"
#include "system/linux/SessionLayouts.h"

KVMainController::KVMainController(KVServiceRegistry& services, KVMainLoop& loop,
                                   CKVMessageDispatch& dispatch, IKVSystemHook& hook, IKVEditorHost* editor,
                                   const KVKeyboardOptions& keyboard)
    : m_services(services), m_dispatch(dispatch), m_editor(editor) {
    // The long-lived services, in the order they must be created. Each registers its message handlers
    // in its constructor, so this order is also the order in which the handlers of one message run.
    services.get<KVConditionEnvironment>();
    m_environment = services.shared<KVConditionEnvironment>();
    m_environment->hook = &hook;

    // The graphics library, and what draws with it.
    if (!corvane::images::startVips())
        corvane::logger("shell").error("the picture library did not start: key pictures cannot be loaded");
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

    // The layer cake. Plug-ins are not loaded yet, so bindings keep their plug-in entries as data.
    m_cake = &services.get<KVLayerCake>(KVLayerLoadContext{m_environment, nullptr});

    // The temporary folder.
    m_folders = &services.get<KVStoreFolders>();
    if (m_folders->temporaryFolder().empty())
        corvane::logger("shell").error(
            "no private temporary folder: archives and the editor's scratch files are unavailable");

    // The layers controller, then the device controller and the keyboard.
    m_layers = &services.get<KVLayersController>(dispatch, *m_cake, m_environment);
    m_deviceController = &services.get<KVDeviceController>(
        loop, dispatch, std::make_shared<KVLayersDisplayBindings>(*m_layers), KVXScreenSaverIdle::open());
    KVPtr<IKVDeviceBackend> backend;
    if (keyboard.virtualKeyboard) {
        corvane::logger("shell").info("driving the virtual keyboard in {}", *keyboard.virtualKeyboard);
        backend = std::make_shared<KVVirtualKeyboardBackend>(*keyboard.virtualKeyboard);
    } else {
        backend = std::make_shared<KVUdevBackend>();
    }
    m_device = &services.get<KVDevice>(*m_deviceController, backend, loop, dispatch);
    m_environment->keyboard = m_device;
    if (keyboard.watchSession)
        m_device->WatchSession();

    m_dispatch.RegisterHandler<KVM_SHOW_EDITOR>(this, &KVMainController::ShowEditor);
    m_dispatch.RegisterHandler<KVM_OPEN_LAYERS_FILE>(this, &KVMainController::OpenLayersFile);
}

KVMainController::~KVMainController() {
    m_dispatch.UnregisterHandlers(this);
}

void KVMainController::LoadAndStart() {
    m_store = std::make_unique<KVConfigurationStore>(
        *m_folders,
        KVConfigurationControllers{*m_cake, nullptr, *m_deviceController,
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
        corvane::logger("shell").info("no keyboard yet; it is brought up to date when it arrives");
}

bool KVMainController::EditorClosed() {
    m_layers->EditorClosed();
    const bool saved = m_store && m_store->saveConfiguration();
    if (!saved)
        corvane::logger("shell").error("the configuration was not saved completely");
    return saved;
}

void KVMainController::Shutdown() {
    if (m_editor && m_editor->HasEditor()) {
        corvane::logger("shell").info("closing the editor");
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
        corvane::logger("shell").info("asked to show the editor, but this instance runs without one");
        return;
    }
    if (!m_editor->ShowEditor())
        corvane::logger("shell").error(
            "the editor window could not be created; the next request tries again");
}

void KVMainController::OpenLayersFile(const char* path) {
    corvane::logger("shell").info(
        "asked to import the layers archive \"{}\"; importing archives is not available yet", path);
}
