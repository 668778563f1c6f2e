#include "editor/EditorWindowHost.h"

#include "core/Log.h"
#include "editor/CfgDlg.h"
#include "editor/EditorServices.h"

#include <exception>

KVEditorWindowHost::~KVEditorWindowHost() {
    delete m_window.data();
}

bool KVEditorWindowHost::ShowEditor() {
    if (!m_window) {
        try {
            m_window = new CKVCfgDlg(KVEditorServices::from(m_services));
        } catch (const std::exception& error) {
            corvane::logger("editor").error("cannot open the editor: {}", error.what());
            return false;
        }
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return true;
}

// The window goes at once, before the services it reads: shutdown destroys them right after this. The
// window's own commands that end the program post their request, so this never runs inside its code.
void KVEditorWindowHost::CloseEditor() {
    if (m_window) {
        m_window->close();
        delete m_window.data();
    }
}
