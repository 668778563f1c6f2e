#include "shell/MainController.h"

#include "conditions/ConditionEnvironment.h"
#include "control/ControlCommands.h"
#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "device/UdevBackend.h"
#include "device/VirtualKeyboardBackend.h"
#include "devicectl/Device.h"
#include "devicectl/DeviceController.h"
#include "devicectl/LayersDisplayBindings.h"
#include "devicectl/LayoutDump.h"
#include "devicectl/SessionIdle.h"
#include "hook/SystemHook.h"
#include "images/KVGlobalImageList.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "images/VipsRuntime.h"
#include "layers/KeyNames.h"
#include "layers/LayerArchive.h"
#include "layers/LayerCake.h"
#include "layers/LayerPluginHolders.h"
#include "layers/LayersController.h"
#include "layers/LayoutLayers.h"
#include "layers/OpenWith.h"
#include "layers/PaintEditor.h"
#include "layers/PictureLayer.h"
#include "plugins/PluginInstanceFactory.h"
#include "plugins/PluginRegistry.h"
#include "shell/EditorHost.h"
#include "store/ConfigurationStore.h"
#include "store/StoreFolders.h"
#include "system/ApplicationsController.h"
#include "system/KeyboardLayouts.h"
#include "system/linux/DesktopEntries.h"
#include "system/linux/ProcProcessTable.h"
#include "system/linux/SessionLayouts.h"
#include "update/FirmwareUpdateController.h"
#include "update/ProgressPrinter.h"
#include "update/UpdateCommands.h"

#include <cstdio>

KVMainController::KVMainController(KVServiceRegistry& services, KVMainLoop& loop,
                                   CKVMessageDispatch& dispatch, IKVSystemHook& hook, IKVEditorHost* editor,
                                   const KVKeyboardOptions& keyboard, KVUpdateDesktop* updateDesktop)
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
        corvane::logger("shell").error(
            "no private temporary folder: archives and the editor's scratch files are unavailable");
    m_pluginHolders = std::make_unique<KVLayerPluginHolders>(*m_cake, m_folders->layersFolder());
    instances.setHolders(m_pluginHolders.get());

    // The layers controller, then the device controller and the keyboard.
    m_layers = &services.get<KVLayersController>(dispatch, *m_cake, m_environment);
    m_openWith = std::make_unique<KVDesktopOpenWith>();
    m_paint = std::make_unique<KVPaintEditor>(
        loop, dispatch, m_folders->editorScratchFolder(),
        corvane::layers::keyboardDrawingPath(m_folders->programFolder()), *m_openWith,
        [this](const KVPtr<KVLayer>& layer, const KVImage& picture) {
            // Every key of the painted picture changes at once, as one step that can be undone.
            corvane::layers::paintLayer(m_layers->Editing(), layer, picture);
        });
    m_deviceController = &services.get<KVDeviceController>(
        loop, dispatch, std::make_shared<KVLayersDisplayBindings>(*m_layers), openSessionIdleSource(loop));
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

    // The update controller: its handler of KVM_DEVICE_STATE runs after the device controller's.
    if (!updateDesktop)
        updateDesktop = &services.get<KVUpdateDesktop>();
    auto& firmwareKeyboard = services.get<KVCorvaneFirmwareKeyboard>(m_device->Keyboard());
    m_updates = &services.get<KVFirmwareUpdateController>(
        loop, dispatch, firmwareKeyboard, *updateDesktop,
        KVUpdateSettings::load(m_folders->programFolder(), KVUpdateSettings::processEnvironment()),
        m_folders->temporaryFolder());

    m_dispatch.RegisterHandler<KVM_SHOW_EDITOR>(this, &KVMainController::ShowEditor);
    m_dispatch.RegisterHandler<KVM_OPEN_LAYERS_FILE>(this, &KVMainController::OpenLayersFile);
}

KVMainController::~KVMainController() {
    m_dispatch.UnregisterHandlers(this);
    m_paint.reset();
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

    KVControlServices control{*m_cake,
                              *m_layers,
                              m_dispatch,
                              m_folders->temporaryFolder(),
                              programFolder,
                              [this] { return keyboardStatus(); },
                              [this](const std::string& folder) { return dumpKeyboard(folder); },
                              m_updates,
                              [this] { return saveFromControl(); },
                              "configurator"};
    m_control = std::make_unique<KVControlCommands>(std::move(control));

    if (!m_device->ConnectAtStartUp())
        corvane::logger("shell").info("no keyboard yet; it is brought up to date when it arrives");
}

bool KVMainController::EditorClosed() {
    m_layers->EditorClosed();
    const bool saved = m_store && m_store->saveConfiguration();
    // Even a partial save may have removed the folders of deleted items, so no undo may bring them back.
    m_layers->ConfigurationSaved();
    if (!saved)
        corvane::logger("shell").error("the configuration was not saved completely");
    return saved;
}

bool KVMainController::SaveDeviceSettings() {
    return m_store && m_store->saveDeviceSettings();
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

KVTextRenderer& KVMainController::textRenderer() {
    return m_services.get<KVTextRenderer>();
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

void KVMainController::RunUpdateCommand(const KVUpdateCommand& command) {
    if (!m_progress)
        m_progress = std::make_unique<KVProgressPrinter>(KVProgressPrinter::forStderr());
    const bool report = command.kind == KVUpdateCommand::Kind::Check;
    runUpdateCommand(
        *m_updates, command, [this](unsigned percent) { m_progress->show(percent); },
        [this, report](const KVFirmwareUpdateController::Result& r) {
            m_progress->finish();
            if (report && r.ok) {
                std::fputs(r.message.c_str(), stdout);
                std::fflush(stdout);
            }
        });
}

void KVMainController::HandleControlRequest(std::string_view line,
                                            std::function<bool(std::string_view)> write) {
    KVControlReply reply(std::move(write));
    const auto request = corvane::control::decodeRequest(line);
    if (!request)
        reply.finish(KVControlAnswer::refused("the request is not understood"));
    else if (!m_control)
        reply.finish(KVControlAnswer::refused("the configurator is starting"));
    else
        m_control->start(*request, std::move(reply));
}

bool KVMainController::saveFromControl() {
    const bool saved = m_store->saveConfiguration();
    m_layers->ConfigurationSaved();
    return saved;
}

KVControlAnswer KVMainController::dumpKeyboard(const std::string& folder) {
    const auto status = DumpTavirexLayout(*m_device, *m_layers, *m_cake, folder);
    return status ? KVControlAnswer::done(nlohmann::json{{"folder", folder}})
                  : KVControlAnswer::refused(status.error);
}

nlohmann::json KVMainController::keyboardStatus() const {
    if (!m_device || !m_device->Keyboard().IsConnected())
        return {{"connected", false}};
    const auto& keyboard = m_device->Keyboard();
    return {{"connected", true},
            {"model", keyboard.Model() == 0 ? "keyboard" : "keypad"},
            {"firmware", keyboard.VersionText()}};
}

void KVMainController::OpenLayersFile(const char* path) {
    const std::string archive = path ? path : "";
    const auto result = corvane::layers::openLayersFile(archive, m_folders->temporaryFolder(), *m_cake,
                                                        *m_layers, m_dispatch);
    if (!result) {
        corvane::logger("shell").error("the layers file \"{}\" was not opened: {}", archive, result.error);
        return;
    }
    corvane::logger("shell").info("the layers file \"{}\" was imported as \"{}\"", archive,
                                  result.item->displayName());
    ShowEditor();
}
