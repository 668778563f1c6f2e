#pragma once

#include "editor/EditorServices.h"

#include <QMainWindow>
#include <array>
#include <memory>

class CKVConditionsView;
class CKVKeyProps;
class CKVLayersTreeCtrl;
class CKVLayersView;
class KVEditorFileCommands;
class QAction;
class QLabel;
class QMenu;

// The editor's main window: the layer tree on the left, the keyboard view at the top right, the
// conditions and the key properties below it, the commands in the menu bar and the toolbar, and in the
// status bar what is selected and what the last change did. Closing it saves the configuration and
// leaves the program running in the notification area.
class CKVCfgDlg final : public QMainWindow {
    Q_OBJECT

public:
    // Every command is one action, shared by the menu bar, the toolbar and the tree.
    enum Command {
        NewLayer,
        NewGroup,
        Delete,
        Rename,
        Paint,
        ExportLayer,
        ExportLayerImage,
        ExportLayout,
        ImportLayer,
        ImportLayerImage,
        Updates,
        Properties,
        Undo,
        Redo,
        CloseToTray,
        Exit,
        About,
        Forum,
        ContactSupport,
        CommandCount
    };
    static constexpr const char* kTitle = "Tavirex Corvane Configurator";

    explicit CKVCfgDlg(KVEditorServices services, QWidget* parent = nullptr);
    ~CKVCfgDlg() override;

    CKVLayersTreeCtrl* tree() const { return m_tree; }
    CKVLayersView* keyboardView() const { return m_view; }
    CKVConditionsView* conditions() const { return m_conditions; }
    CKVKeyProps* keyProperties() const { return m_keyProps; }
    QAction* action(Command command) const { return m_actions[command]; }
    KVEditorFileCommands& fileCommands() { return *m_files; }
    // What the status bar says about the selection.
    QString selectionText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPanels();
    void createActions();
    void createMenus();
    void createToolBar();
    void placeOnScreen();

    // Asks first, then deletes the selected item; built-in items cannot be deleted.
    void deleteSelected();
    void paint();
    // F6 and Shift+F6: the focus goes to the next or previous pane (tree, keyboard, conditions, key
    // properties) that can take it, as in other programs with several panes.
    void focusPane(int step);
    void undo();
    void redo();
    void exitProgram();
    void sendTrayCommand(unsigned command);
    // Enabled states and the undo texts follow the selection and the history.
    void refreshCommands();
    void refreshSelection();

    void OnTreeSelectionChanged();
    void OnKeySelectionChanged();
    void OnModelChanged();
    void OnKeyChanged(unsigned key);
    void OnSessionChange(unsigned kind);

    KVEditorServices m_services;
    CKVLayersTreeCtrl* m_tree = nullptr;
    CKVLayersView* m_view = nullptr;
    CKVConditionsView* m_conditions = nullptr;
    CKVKeyProps* m_keyProps = nullptr;
    QLabel* m_selection = nullptr;
    QMenu* m_exportMenu = nullptr;
    QMenu* m_importMenu = nullptr;
    std::array<QAction*, CommandCount> m_actions{};
    std::unique_ptr<KVEditorFileCommands> m_files;
    bool m_saved = false;
};
