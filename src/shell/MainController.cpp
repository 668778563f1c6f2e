#include "shell/MainController.h"

#include "core/MessageDispatch.h"
#include "shell/EditorHost.h"

#include <spdlog/spdlog.h>

KVMainController::KVMainController(KVServiceRegistry& services, KVMainLoop& loop, CKVMessageDispatch& dispatch,
                                   KVSystemHook& hook, IKVEditorHost* editor)
    : m_services(services), m_loop(loop), m_dispatch(dispatch), m_hook(hook), m_editor(editor) {
    // The long-lived services, in the order they must be created. Each registers its message handlers
    // in its constructor, so this order is also the order in which handlers of one message run.
    //   graphics library, keyboard-layout catalogue, application catalogue, layer cake,
    //   plug-in registry, temporary folder, plug-in instance factory, layers controller,
    //   device controller, keyboard device, update controller
    m_dispatch.RegisterHandler(KVM_SHOW_EDITOR, this, &KVMainController::ShowEditor);
    m_dispatch.RegisterHandler(KVM_OPEN_LAYERS_FILE, this, &KVMainController::OpenLayersFile);
}

KVMainController::~KVMainController() { m_dispatch.UnregisterHandlers(this); }

void KVMainController::LoadAndStart() {}

void KVMainController::Shutdown() {
    if (m_editor && m_editor->HasEditor()) {
        spdlog::info("closing the editor");
        m_editor->CloseEditor();
    }
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
