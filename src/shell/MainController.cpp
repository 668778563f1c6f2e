#include "shell/MainController.h"

#include "conditions/ConditionEnvironment.h"
#include "core/MessageDispatch.h"
#include "hook/SystemHook.h"
#include "images/VipsRuntime.h"
#include "shell/EditorHost.h"
#include "store/StoreFolders.h"
#include "system/ApplicationsController.h"
#include "system/linux/DesktopEntries.h"
#include "system/linux/ProcProcessTable.h"

#include <spdlog/spdlog.h>

KVMainController::KVMainController(KVServiceRegistry& services, KVMainLoop& loop, CKVMessageDispatch& dispatch,
                                   KVSystemHook& hook, IKVEditorHost* editor)
    : m_services(services), m_loop(loop), m_dispatch(dispatch), m_hook(hook), m_editor(editor),
      m_environment(services.get<KVConditionEnvironment>()), m_folders(services.get<KVStoreFolders>()) {
    m_environment.hook = &m_hook;

    // The long-lived services, in the order they must be created. Each registers its message handlers
    // in its constructor, so this order is also the order in which handlers of one message run.
    if (!corvane::images::startVips())
        spdlog::error("the picture library did not start: key pictures cannot be loaded");

    auto& applications = m_services.get<KVSysApplicationsController>(
        m_dispatch, m_hook, std::make_shared<KVProcProcessTable>(), KVApplicationSources::fromEnvironment());
    m_environment.applications = &applications;

    m_dispatch.RegisterHandler(KVM_SHOW_EDITOR, this, &KVMainController::ShowEditor);
    m_dispatch.RegisterHandler(KVM_OPEN_LAYERS_FILE, this, &KVMainController::OpenLayersFile);
}

KVMainController::~KVMainController() { m_dispatch.UnregisterHandlers(this); }

void KVMainController::LoadAndStart() {
    if (m_folders.temporaryFolder().empty())
        spdlog::error("no private temporary folder: archives and the editor's scratch files are unavailable");
}

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
