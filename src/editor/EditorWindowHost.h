#pragma once

#include "editor/CfgDlg.h"
#include "shell/EditorHost.h"

#include <QPointer>

class KVServiceRegistry;

// Makes the editor window on demand from the running services and forgets it when it closes. Closing
// the window saves the configuration through the main controller and leaves the program running.
class KVEditorWindowHost final : public IKVEditorHost {
public:
    explicit KVEditorWindowHost(const KVServiceRegistry& services) : m_services(services) {}
    ~KVEditorWindowHost() override;
    KVEditorWindowHost(const KVEditorWindowHost&) = delete;
    KVEditorWindowHost& operator=(const KVEditorWindowHost&) = delete;

    bool ShowEditor() override;
    void CloseEditor() override;
    bool HasEditor() const override { return !m_window.isNull(); }

    // The open window (tests look into it); null when there is none.
    CKVCfgDlg* window() const { return m_window.data(); }

private:
    const KVServiceRegistry& m_services;
    QPointer<CKVCfgDlg> m_window;
};
