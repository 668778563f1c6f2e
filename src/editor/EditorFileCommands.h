#pragma once

#include <QString>
#include <memory>

class CKVLayersTreeCtrl;
class QWidget;
struct KVEditorServices;

// How the window asks for files and folders. The desktop's dialogs by default; tests answer in their
// place. An empty answer means the user cancelled.
class IKVFileChooser {
public:
    virtual ~IKVFileChooser() = default;
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    // `suffix` is added when the name given has none.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& suffix, const QString& suggestedName) = 0;
    virtual QString folder(QWidget* parent, const QString& title) = 0;
};

std::unique_ptr<IKVFileChooser> desktopFileChooser();

// The commands of the "Export" and "Import" menus: archives, layer pictures and the keyboard dump. Each
// asks for its file, does the work with a busy cursor, and says the outcome in the status bar, or in a
// message box when it failed. A cancelled dialog changes nothing; a command that needs a selected layer
// or group says so and does nothing.
class KVEditorFileCommands {
public:
    KVEditorFileCommands(KVEditorServices& services, CKVLayersTreeCtrl& tree, QWidget& window);
    ~KVEditorFileCommands();

    void setChooser(std::unique_ptr<IKVFileChooser> chooser) { m_chooser = std::move(chooser); }

    // "Export" > "Layer...": the selected layer or group as a ".layers" archive.
    void exportLayer();
    // "Export" > "Layer Image...": the selected layer as one picture of the keyboard.
    void exportLayerImage();
    // "Export" > "Tavirex Layout...": the keyboard's files for the layers as they stand.
    void exportLayout();
    // "Import" > "Layer...": an archive's item goes into the tree at the selection.
    void importLayer();
    // "Import" > "Layer from Image...": a keyboard picture becomes a new layer at the selection.
    void importLayerImage();

private:
    void failed(const QString& what, const std::string& why);

    KVEditorServices& m_services;
    CKVLayersTreeCtrl& m_tree;
    QWidget& m_window;
    std::unique_ptr<IKVFileChooser> m_chooser;
};
