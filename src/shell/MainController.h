#pragma once

#include "core/ServiceRegistry.h"

class CKVMessageDispatch;
class IKVEditorHost;
class KVStoreFolders;
struct KVConditionEnvironment;
class KVMainLoop;
class KVSystemHook;

// The top-level controller. Its constructor creates the long-lived services in their fixed order (each
// later one registers with the dispatch and may read what earlier ones loaded); it shows the editor on
// KVM_SHOW_EDITOR and imports a layers archive on KVM_OPEN_LAYERS_FILE.
class KVMainController {
public:
    KVMainController(KVServiceRegistry& services, KVMainLoop& loop, CKVMessageDispatch& dispatch,
                     KVSystemHook& hook, IKVEditorHost* editor);
    ~KVMainController();
    KVMainController(const KVMainController&) = delete;
    KVMainController& operator=(const KVMainController&) = delete;

    // Start-up: loads the stored configuration, sets up and evaluates the layers, looks for the keyboard.
    void LoadAndStart();
    // Shutdown before the services go: closes the editor (which saves), releases the active layers.
    void Shutdown();
    // What the tray's "Exit" and the termination signals do: close the editor, then close the dispatch.
    void Exit();

    void ShowEditor();
    void OpenLayersFile(const char* path);

    // What conditions read; its sources are filled in as the services come up.
    KVConditionEnvironment& conditionEnvironment() { return m_environment; }

private:
    KVServiceRegistry& m_services;
    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    KVSystemHook& m_hook;
    IKVEditorHost* m_editor;
    KVConditionEnvironment& m_environment;
    KVStoreFolders& m_folders;
};
