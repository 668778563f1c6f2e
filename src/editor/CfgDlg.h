#pragma once

#include "editor/EditorServices.h"

#include <QMainWindow>

class CKVConditionsView;
class CKVKeyProps;
class CKVLayersTreeCtrl;
class CKVLayersView;

// The editor's main window: the layer tree on the left, the keyboard view at the top right, the
// conditions and the key properties below it, the commands in the menu bar and the toolbar. Closing it
// saves the configuration and leaves the program running in the notification area.
class CKVCfgDlg final : public QMainWindow {
public:
    explicit CKVCfgDlg(KVEditorServices services, QWidget* parent = nullptr);
    ~CKVCfgDlg() override;

    CKVLayersTreeCtrl* tree() const { return m_tree; }
    CKVLayersView* keyboardView() const { return m_view; }
    CKVConditionsView* conditions() const { return m_conditions; }
    CKVKeyProps* keyProperties() const { return m_keyProps; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    KVEditorServices m_services;
    CKVLayersTreeCtrl* m_tree = nullptr;
    CKVLayersView* m_view = nullptr;
    CKVConditionsView* m_conditions = nullptr;
    CKVKeyProps* m_keyProps = nullptr;
    bool m_saved = false;
};
