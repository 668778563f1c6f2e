#include "editor/CfgDlg.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "editor/ConditionsView.h"
#include "editor/EditorFileCommands.h"
#include "editor/EditorStatus.h"
#include "editor/KeyProps.h"
#include "editor/KeyboardPropertiesDlg.h"
#include "editor/LayersTreeCtrl.h"
#include "editor/LayersTreeModel.h"
#include "editor/LayersView.h"
#include "editor/UpdateDlg.h"
#include "layers/KeyNames.h"
#include "layers/LayersController.h"
#include "layers/PaintEditor.h"
#include "shell/MainController.h"
#include "shell/TrayIcon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

namespace {

// A theme icon, or the style's own picture where the theme has none.
QIcon themeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromUtf8(name), QApplication::style()->standardIcon(fallback));
}

} // namespace

CKVCfgDlg::CKVCfgDlg(KVEditorServices services, QWidget* parent) : QMainWindow(parent), m_services(services) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("CKVCfgDlg"));
    setAccessibleName(QString::fromUtf8(kTitle));

    buildPanels();
    m_files = std::make_unique<KVEditorFileCommands>(m_services, *m_tree, *this);
    createActions();
    createMenus();
    createToolBar();
    m_selection = new QLabel(this);
    m_selection->setAccessibleName(tr("Selection"));
    statusBar()->addPermanentWidget(m_selection);
    placeOnScreen();

    connect(m_tree, &CKVLayersTreeCtrl::edited, this, [this](const QString& step) {
        corvane::editor::showStatus(this, step);
        refreshCommands();
    });
    m_services.dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVCfgDlg::OnTreeSelectionChanged);
    m_services.dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &CKVCfgDlg::OnKeySelectionChanged);
    m_services.dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(this, &CKVCfgDlg::OnModelChanged);
    m_services.dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &CKVCfgDlg::OnModelChanged);
    m_services.dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVCfgDlg::OnModelChanged);
    m_services.dispatch.RegisterHandler<KVM_KEY_CHANGED>(this, &CKVCfgDlg::OnKeyChanged);
    m_services.dispatch.RegisterHandler<KVM_SESSION_CHANGE>(this, &CKVCfgDlg::OnSessionChange);
    refreshCommands();
    refreshSelection();
    m_tree->setFocus();
}

CKVCfgDlg::~CKVCfgDlg() {
    m_services.dispatch.UnregisterHandlers(this);
}

void CKVCfgDlg::buildPanels() {
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    m_tree = new CKVLayersTreeCtrl(m_services, split);

    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_view = new CKVLayersView(m_services, right);
    m_view->setAccessibleName(tr("Keyboard"));
    rightLayout->addWidget(m_view, 3);

    auto* below = new QHBoxLayout;
    auto* conditionsBox = new QGroupBox(tr("Conditions"), right);
    auto* conditionsLayout = new QVBoxLayout(conditionsBox);
    m_conditions = new CKVConditionsView(m_services, conditionsBox);
    conditionsLayout->addWidget(m_conditions);
    below->addWidget(conditionsBox, 1);

    auto* keyBox = new QGroupBox(tr("Key properties"), right);
    auto* keyLayout = new QVBoxLayout(keyBox);
    m_keyProps = new CKVKeyProps(m_services, keyBox);
    keyLayout->addWidget(m_keyProps);
    below->addWidget(keyBox, 2);
    rightLayout->addLayout(below, 2);

    split->addWidget(m_tree);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 4);
    // Wide enough for a name or two of nesting, whatever the keyboard view would like to take.
    m_tree->setMinimumWidth(fontMetrics().averageCharWidth() * 22);
    setCentralWidget(split);
    setTabOrder(m_tree, m_view);
}

void CKVCfgDlg::createActions() {
    auto make = [this](Command command, const QString& text, const QString& tip, auto slot) {
        auto* action = new QAction(text, this);
        action->setToolTip(tip);
        action->setStatusTip(tip);
        action->setObjectName(QStringLiteral("command%1").arg(int(command)));
        connect(action, &QAction::triggered, this, slot);
        m_actions[command] = action;
        return action;
    };
    make(NewLayer, "New Layer", tr("Add an empty layer at the selection"), [this] {
        m_tree->newLayer();
    })->setShortcut(QKeySequence::New);
    make(NewGroup, "New Group", tr("Add an empty group at the selection"), [this] {
        m_tree->newGroup();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    make(Delete, "Delete", tr("Delete the selected layer or group"), [this] {
        deleteSelected();
    })->setShortcut(QKeySequence::Delete);
    make(Rename, tr("Rename"), tr("Rename the selected layer or group"), [this] {
        m_tree->renameSelected();
    })->setShortcut(QKeySequence(Qt::Key_F2));
    make(Paint, "Paint", tr("Open the selected layer's keys in your picture editor"), [this] { paint(); });
    make(ExportLayer, "Layer...", tr("Save the selected layer or group as a layers file"),
         [this] { m_files->exportLayer(); });
    make(ExportLayerImage, "Layer Image...", tr("Save the selected layer as one picture of the keyboard"),
         [this] { m_files->exportLayerImage(); });
    make(ExportLayout, "Tavirex Layout...", tr("Write the keyboard's files for the layers as they stand"),
         [this] { m_files->exportLayout(); });
    make(ImportLayer, "Layer...", tr("Add the layer or group of a layers file"),
         [this] { m_files->importLayer(); });
    make(ImportLayerImage, "Layer from Image...", tr("Make a layer of a picture of the keyboard"),
         [this] { m_files->importLayerImage(); });
    make(Updates, "Updates", tr("Look for new firmware and a new configurator"), [this] {
        CKVUpdateDlg dialog(m_services, this);
        dialog.exec();
    });
    make(Properties, "Properties", tr("Sleep, brightness and the keyboard's drive"), [this] {
        CKVKeyboardPropertiesDlg dialog(m_services, this);
        dialog.exec();
    });
    make(Undo, tr("Undo"), tr("Take back the last change"), [this] {
        undo();
    })->setShortcut(QKeySequence::Undo);
    make(Redo, tr("Redo"), tr("Make the change taken back again"), [this] {
        redo();
    })->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    make(CloseToTray, tr("Close to Tray"), tr("Save and close the window; the keyboard keeps working"),
         [this] { close(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    make(Exit, tr("Exit"), tr("Save and end the program"), [this] {
        exitProgram();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    make(About, "About Configurator...", tr("The product page in your browser"),
         [this] { sendTrayCommand(KVTrayIcon::About); });
    make(Forum, "Discussion forum...", tr("The discussion forum in your browser"),
         [this] { sendTrayCommand(KVTrayIcon::Forum); });
    make(ContactSupport, "Contact support...", tr("A mail to support with your versions"),
         [this] { sendTrayCommand(KVTrayIcon::ContactSupport); });

    m_actions[NewLayer]->setIcon(themeIcon("document-new", QStyle::SP_FileIcon));
    m_actions[NewGroup]->setIcon(themeIcon("folder-new", QStyle::SP_FileDialogNewFolder));
    m_actions[Delete]->setIcon(themeIcon("edit-delete", QStyle::SP_TrashIcon));
    m_actions[Paint]->setIcon(QIcon::fromTheme(QStringLiteral("applications-graphics")));
    m_actions[Updates]->setIcon(themeIcon("system-software-update", QStyle::SP_BrowserReload));
    m_actions[Properties]->setIcon(QIcon::fromTheme(QStringLiteral("preferences-desktop-keyboard")));
    m_actions[Undo]->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo")));
    m_actions[Redo]->setIcon(QIcon::fromTheme(QStringLiteral("edit-redo")));
    m_actions[Exit]->setIcon(QIcon::fromTheme(QStringLiteral("application-exit")));
    auto* nextPane = new QAction(tr("Next pane"), this);
    nextPane->setShortcut(QKeySequence(Qt::Key_F6));
    connect(nextPane, &QAction::triggered, this, [this] { focusPane(1); });
    auto* previousPane = new QAction(tr("Previous pane"), this);
    previousPane->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(previousPane, &QAction::triggered, this, [this] { focusPane(-1); });
    addActions({nextPane, previousPane});

    // Delete and F2 belong to the tree: in the keyboard view and the panels those keys mean other things.
    for (Command command : {Delete, Rename}) {
        m_actions[command]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_tree->addAction(m_actions[command]);
    }
}

void CKVCfgDlg::createMenus() {
    m_exportMenu = new QMenu(QStringLiteral("Export"), this);
    m_exportMenu->addActions({m_actions[ExportLayer], m_actions[ExportLayerImage], m_actions[ExportLayout]});
    m_importMenu = new QMenu(QStringLiteral("Import"), this);
    m_importMenu->addActions({m_actions[ImportLayer], m_actions[ImportLayerImage]});

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addMenu(m_importMenu);
    file->addMenu(m_exportMenu);
    file->addSeparator();
    file->addActions({m_actions[CloseToTray], m_actions[Exit]});

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addActions({m_actions[Undo], m_actions[Redo]});
    edit->addSeparator();
    edit->addActions({m_actions[NewLayer], m_actions[NewGroup], m_actions[Rename], m_actions[Delete]});
    // The history changes through every panel; its texts are read again whenever the menu opens.
    connect(edit, &QMenu::aboutToShow, this, &CKVCfgDlg::refreshCommands);

    QMenu* keyboard = menuBar()->addMenu(tr("&Keyboard"));
    keyboard->addActions({m_actions[Paint], m_actions[Properties], m_actions[Updates]});

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addActions({m_actions[About], m_actions[Forum], m_actions[ContactSupport]});
}

void CKVCfgDlg::createToolBar() {
    QToolBar* bar = addToolBar(tr("Commands"));
    bar->setObjectName(QStringLiteral("commands"));
    bar->setAccessibleName(tr("Commands"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addActions({m_actions[NewLayer], m_actions[NewGroup], m_actions[Delete], m_actions[Paint]});
    auto addMenuButton = [this, bar](QMenu* menu, const char* icon, const QString& tip) {
        auto* button = new QToolButton(bar);
        button->setText(menu->title());
        button->setIcon(QIcon::fromTheme(QString::fromUtf8(icon)));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolTip(tip);
        button->setAccessibleName(menu->title());
        bar->addWidget(button);
    };
    addMenuButton(m_exportMenu, "document-export", tr("Save layers, pictures or the keyboard's files"));
    addMenuButton(m_importMenu, "document-import", tr("Add layers from a layers file or a picture"));
    bar->addActions({m_actions[Updates], m_actions[Properties]});
}

void CKVCfgDlg::placeOnScreen() {
    // Sized by the font, so that the window keeps its proportions at every scale, and never larger
    // than the screen; centred there.
    const QFontMetrics metrics = fontMetrics();
    QSize size(metrics.averageCharWidth() * 170, metrics.lineSpacing() * 42);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size() * 9 / 10);
        resize(size);
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    } else {
        resize(size);
    }
}

void CKVCfgDlg::refreshCommands() {
    const auto item = m_services.layers.EditedItem();
    const bool changeable = item && !KVLayersTreeModel::isProtected(*item);
    const bool layer = item && !item->isGroup();
    m_actions[Delete]->setEnabled(changeable);
    m_actions[Rename]->setEnabled(changeable);
    m_actions[Paint]->setEnabled(layer);
    m_actions[ExportLayer]->setEnabled(item != nullptr);
    m_actions[ExportLayerImage]->setEnabled(layer);

    const auto& editing = m_services.layers.Editing();
    m_actions[Undo]->setEnabled(editing.CanUndo());
    m_actions[Undo]->setText(editing.CanUndo() ? tr("Undo %1").arg(QString::fromStdString(editing.UndoText()))
                                               : tr("Undo"));
    m_actions[Redo]->setEnabled(editing.CanRedo());
    m_actions[Redo]->setText(editing.CanRedo() ? tr("Redo %1").arg(QString::fromStdString(editing.RedoText()))
                                               : tr("Redo"));
}

QString CKVCfgDlg::selectionText() const {
    const auto item = m_services.layers.EditedItem();
    if (!item)
        return tr("No layer selected");
    QString text =
        QStringLiteral("%1 \"%2\"")
            .arg(item->isGroup() ? tr("Group") : tr("Layer"), QString::fromStdString(item->displayName()));
    const auto& keys = m_services.layers.SelectedKeys();
    if (keys.count() == 1) {
        for (unsigned key = 0; key < keys.size(); ++key)
            if (keys.test(key))
                text += tr(", key %1")
                            .arg(QString::fromUtf8(corvane::layers::keyName(key).data(),
                                                   qsizetype(corvane::layers::keyName(key).size())));
    } else if (keys.count() > 1) {
        text += tr(", %1 keys").arg(keys.count());
    }
    return text;
}

void CKVCfgDlg::refreshSelection() {
    m_selection->setText(selectionText());
}

void CKVCfgDlg::OnTreeSelectionChanged() {
    refreshCommands();
    refreshSelection();
}

void CKVCfgDlg::OnKeySelectionChanged() {
    refreshSelection();
}

void CKVCfgDlg::OnModelChanged() {
    refreshCommands();
    refreshSelection();
}

void CKVCfgDlg::OnKeyChanged(unsigned) {
    refreshCommands();
}

void CKVCfgDlg::OnSessionChange(unsigned kind) {
    // Back from a locked screen or a new log-on, the window is drawn anew.
    constexpr unsigned kSessionLogon = 5, kSessionUnlock = 8;
    if (kind != kSessionLogon && kind != kSessionUnlock)
        return;
    for (QWidget* widget : findChildren<QWidget*>())
        widget->update();
    update();
}

void CKVCfgDlg::deleteSelected() {
    const auto item = m_tree->selectedItem();
    if (!item || KVLayersTreeModel::isProtected(*item))
        return;
    QMessageBox ask(QMessageBox::Question, QString::fromUtf8(kTitle),
                    QStringLiteral("Delete ") + QString::fromStdString(item->displayName()) +
                        QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    if (ask.exec() != QMessageBox::Ok)
        return;
    if (!m_tree->deleteItem(item))
        corvane::editor::showStatus(
            this, tr("\"%1\" was not deleted").arg(QString::fromStdString(item->displayName())));
}

void CKVCfgDlg::paint() {
    const auto layer = std::dynamic_pointer_cast<KVLayer>(m_services.layers.EditedItem());
    if (!layer) {
        corvane::editor::showStatus(this, tr("Select the layer to paint."));
        return;
    }
    const auto status = m_services.main.paintEditor().Paint(layer);
    const QString name = QString::fromStdString(layer->displayName());
    if (!status) {
        const QString text =
            tr("\"%1\" could not be opened for painting: %2").arg(name, QString::fromStdString(status.error));
        corvane::editor::showStatus(this, text);
        QMessageBox::warning(this, QString::fromUtf8(kTitle), text);
        return;
    }
    corvane::editor::showStatus(this,
                                tr("\"%1\" is open in your picture editor; each save there comes back to "
                                   "its keys")
                                    .arg(name));
}

namespace {

// Gives the focus to `pane` or to the first control inside it that takes the focus with Tab.
bool focusInto(QWidget* pane) {
    if (!pane || !pane->isVisible() || !pane->isEnabled())
        return false;
    if (pane->focusPolicy() & Qt::TabFocus) {
        pane->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    for (QWidget* widget = pane->nextInFocusChain(); widget && widget != pane;
         widget = widget->nextInFocusChain())
        if (pane->isAncestorOf(widget) && widget->isVisible() && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
    return false;
}

} // namespace

void CKVCfgDlg::focusPane(int step) {
    const std::array<QWidget*, 4> panes{m_tree, m_view, m_conditions, m_keyProps};
    const int count = int(panes.size());
    QWidget* focused = focusWidget();
    int current = step > 0 ? -1 : count;
    for (int i = 0; i < count; ++i)
        if (focused && (panes[i] == focused || panes[i]->isAncestorOf(focused)))
            current = i;
    for (int n = 1; n <= count; ++n)
        if (focusInto(panes[((current + step * n) % count + count) % count]))
            return;
}

void CKVCfgDlg::undo() {
    auto& editing = m_services.layers.Editing();
    const QString step = QString::fromStdString(editing.UndoText());
    if (editing.Undo())
        corvane::editor::showStatus(this, tr("Undone: %1").arg(step));
    refreshCommands();
}

void CKVCfgDlg::redo() {
    auto& editing = m_services.layers.Editing();
    const QString step = QString::fromStdString(editing.RedoText());
    if (editing.Redo())
        corvane::editor::showStatus(this, tr("Redone: %1").arg(step));
    refreshCommands();
}

void CKVCfgDlg::exitProgram() {
    // Exiting closes and deletes this window, so it runs once this command has returned.
    KVMainController& main = m_services.main;
    m_services.dispatch.loop().post([&main] { main.Exit(); });
}

void CKVCfgDlg::sendTrayCommand(unsigned command) {
    // The same commands as the tray menu's, which holds the addresses and builds the support mail.
    m_services.dispatch.send<KVM_COMMAND>(command);
}

void CKVCfgDlg::closeEvent(QCloseEvent* event) {
    // The editor-closed step: the whole configuration is written once, however the window goes.
    if (!m_saved) {
        m_saved = true;
        m_services.main.EditorClosed();
    }
    event->accept();
}
