#pragma once

#include "core/KVPtr.h"
#include "core/ServiceRegistry.h"

#include <memory>
#include <optional>
#include <string>

class CKVMessageDispatch;
class IKVEditorHost;
class KVConfigurationStore;
class KVDevice;
class KVDeviceController;
class KVLayerCake;
class KVLayersController;
class KVLayoutLayers;
class KVMainLoop;
class KVStoreFolders;
class IKVSystemHook;
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
    KVMainController(KVServiceRegistry& services, KVMainLoop& loop, CKVMessageDispatch& dispatch,
                     IKVSystemHook& hook, IKVEditorHost* editor, const KVKeyboardOptions& keyboard);
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

    void ShowEditor();
    void OpenLayersFile(const char* path);

    // What conditions read; its sources are filled in as the services come up.
    KVConditionEnvironment& conditionEnvironment() { return *m_environment; }
    KVLayersController& layersController() { return *m_layers; }
    KVDevice& device() { return *m_device; }

private:
    KVServiceRegistry& m_services;
    CKVMessageDispatch& m_dispatch;
    IKVEditorHost* m_editor;
    KVPtr<KVConditionEnvironment> m_environment;
    KVStoreFolders* m_folders = nullptr;
    KVLayerCake* m_cake = nullptr;
    KVLayersController* m_layers = nullptr;
    KVDeviceController* m_deviceController = nullptr;
    KVDevice* m_device = nullptr;
    std::unique_ptr<KVLayoutLayers> m_layoutLayers;
    std::unique_ptr<KVConfigurationStore> m_store;
};
