#pragma once

#include "core/KVPtr.h"
#include "core/ServiceRegistry.h"

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

struct KVUpdateCommand;
class KVFirmwareUpdateController;
class KVUpdateDesktop;
class KVProgressPrinter;

class CKVMessageDispatch;
class IKVEditorHost;
class KVConfigurationStore;
class KVControlCommands;
struct KVControlAnswer;
class KVDevice;
class KVDeviceController;
class KVLayerCake;
class KVLayersController;
class KVLayerPluginHolders;
class KVPluginRegistry;
class KVLayoutLayers;
class KVMainLoop;
class IKVOpenWith;
class KVPaintEditor;
class KVStoreFolders;
class IKVSystemHook;
class KVTextRenderer;
struct KVConditionEnvironment;

// How this instance reaches its keyboard.
struct KVKeyboardOptions {
    // The folder of a virtual keyboard; the real keyboard through udev when empty.
    std::optional<std::string> virtualKeyboard;
    // Follow suspend, resume and the session's end through logind.
    bool watchSession = true;
};

// The top-level controller. Its constructor creates the long-lived services in their fixed order (each
// later one registers with the dispatch and may read what earlier ones loaded); it shows the editor on
// KVM_SHOW_EDITOR and imports a layers archive on KVM_OPEN_LAYERS_FILE.
class KVMainController {
public:
    // `updateDesktop` asks the user about updates; without one, questions go to the log.
    KVMainController(KVServiceRegistry& services, KVMainLoop& loop, CKVMessageDispatch& dispatch,
                     IKVSystemHook& hook, IKVEditorHost* editor, const KVKeyboardOptions& keyboard,
                     KVUpdateDesktop* updateDesktop = nullptr);
    ~KVMainController();
    KVMainController(const KVMainController&) = delete;
    KVMainController& operator=(const KVMainController&) = delete;

    // Start-up: loads the stored configuration, sets up and evaluates the layers, looks for the keyboard.
    void LoadAndStart();
    // Shutdown before the services go: closes the editor (which saves), releases the active layers.
    void Shutdown();
    // What the tray's "Exit" and the termination signals do: close the editor, then close the dispatch.
    void Exit();
    // The editor window was closed: the whole configuration is saved.
    bool EditorClosed();
    // The keyboard's settings changed in the editor: they are kept at once, the layers are not touched.
    bool SaveDeviceSettings();

    void ShowEditor();
    void OpenLayersFile(const char* path);

    // An update command given to this instance; its outcome goes to the log (a check's report to
    // stdout), download progress to stderr.
    void RunUpdateCommand(const KVUpdateCommand& command);
    // A request of corvane-ctl (one JSON line); the answer goes to `write`, at once or when a download
    // ends. Changes are saved at once.
    void HandleControlRequest(std::string_view request, std::function<bool(std::string_view)> write);

    // What conditions read; its sources are filled in as the services come up.
    KVConditionEnvironment& conditionEnvironment() { return *m_environment; }
    KVLayersController& layersController() { return *m_layers; }
    KVDevice& device() { return *m_device; }
    KVFirmwareUpdateController& updateController() { return *m_updates; }
    // The editor's "Paint" command.
    KVPaintEditor& paintEditor() { return *m_paint; }
    // The one label renderer: the editor draws changed captions and its previews with it.
    KVTextRenderer& textRenderer();

private:
    nlohmann::json keyboardStatus() const;
    KVControlAnswer dumpKeyboard(const std::string& folder);
    bool saveFromControl();

    KVServiceRegistry& m_services;
    CKVMessageDispatch& m_dispatch;
    IKVEditorHost* m_editor;
    KVPtr<KVConditionEnvironment> m_environment;
    KVStoreFolders* m_folders = nullptr;
    KVPluginRegistry* m_plugins = nullptr;
    KVLayerCake* m_cake = nullptr;
    KVLayersController* m_layers = nullptr;
    KVDeviceController* m_deviceController = nullptr;
    KVDevice* m_device = nullptr;
    KVFirmwareUpdateController* m_updates = nullptr;
    std::unique_ptr<KVProgressPrinter> m_progress;
    std::unique_ptr<KVLayoutLayers> m_layoutLayers;
    std::unique_ptr<KVConfigurationStore> m_store;
    std::unique_ptr<IKVOpenWith> m_openWith;
    std::unique_ptr<KVPaintEditor> m_paint;
    std::unique_ptr<KVLayerPluginHolders> m_pluginHolders;
    std::unique_ptr<KVControlCommands> m_control;
};
