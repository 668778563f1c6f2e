#include "editor/EditorFileCommands.h"

#include "core/Log.h"
#include "devicectl/LayoutDump.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/LayersTreeCtrl.h"
#include "layers/LayerArchive.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "layers/PictureLayer.h"
#include "shell/MainController.h"
#include "store/StoreFolders.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

constexpr const char* kLayersFilter = "Layers files (*.layers)";
constexpr const char* kLayersOpenFilter = "Layers files (*.layers *.zqlz)";
constexpr const char* kImagesFilter = "Images (*.jpeg *.jpg *.gif *.png *.bmp *.tif *.tiff)";
constexpr const char* kPngFilter = "PNG images (*.png)";

class KVDesktopFileChooser final : public IKVFileChooser {
public:
    QString openFile(QWidget* parent, const QString& title, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, title, {}, filter);
    }
    QString saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                     const QString& suggestedName) override {
        QFileDialog dialog(parent, title, {}, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
        dialog.selectFile(suggestedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().front();
    }
    QString folder(QWidget* parent, const QString& title) override {
        return QFileDialog::getExistingDirectory(parent, title);
    }
};

// The work runs on this thread; the cursor says that the window is busy until it is done.
class BusyCursor {
public:
    BusyCursor(QWidget& window, const QString& what) {
        corvane::editor::showStatus(&window, what);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A file name made of a display name: the characters no file system takes become "_".
QString fileNameOf(const std::string& displayName) {
    QString name = QString::fromStdString(displayName).trimmed();
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20)
            c = u'_';
    return name.isEmpty() ? QStringLiteral("layer") : name;
}

} // namespace

std::unique_ptr<IKVFileChooser> desktopFileChooser() {
    return std::make_unique<KVDesktopFileChooser>();
}

KVEditorFileCommands::KVEditorFileCommands(KVEditorServices& services, CKVLayersTreeCtrl& tree,
                                           QWidget& window)
    : m_services(services), m_tree(tree), m_window(window), m_chooser(desktopFileChooser()) {}

KVEditorFileCommands::~KVEditorFileCommands() = default;

void KVEditorFileCommands::failed(const QString& what, const std::string& why) {
    const QString text = what + QStringLiteral(": ") + QString::fromStdString(why);
    corvane::editor::showStatus(&m_window, text);
    QMessageBox::warning(&m_window, QStringLiteral("Tavirex Corvane Configurator"), text);
}

void KVEditorFileCommands::exportLayer() {
    const auto item = m_services.layers.EditedItem();
    if (!item) {
        corvane::editor::showStatus(&m_window, QObject::tr("Select the layer or group to export."));
        return;
    }
    const QString path = m_chooser->saveFile(&m_window, QObject::tr("Export Layer"), kLayersFilter,
                                             QStringLiteral("layers"), fileNameOf(item->displayName()));
    if (path.isEmpty())
        return;
    const QString name = QString::fromStdString(item->displayName());
    corvane::layers::KVArchiveStatus status;
    {
        BusyCursor busy(m_window, QObject::tr("Exporting \"%1\"...").arg(name));
        status = corvane::layers::exportItem(*item, path.toStdString(), KVStoreFolders().temporaryFolder());
    }
    if (!status)
        return failed(QObject::tr("\"%1\" was not exported").arg(name), status.error);
    corvane::editor::showStatus(&m_window, QObject::tr("\"%1\" exported to %2").arg(name, path));
}

void KVEditorFileCommands::exportLayerImage() {
    const auto layer = std::dynamic_pointer_cast<KVLayer>(m_services.layers.EditedItem());
    if (!layer) {
        corvane::editor::showStatus(&m_window, QObject::tr("Select the layer whose picture to export."));
        return;
    }
    const QString path = m_chooser->saveFile(&m_window, QObject::tr("Export Layer Image"), kPngFilter,
                                             QStringLiteral("png"), fileNameOf(layer->displayName()));
    if (path.isEmpty())
        return;
    const QString name = QString::fromStdString(layer->displayName());
    corvane::layers::KVArchiveStatus status;
    {
        BusyCursor busy(m_window, QObject::tr("Writing the picture of \"%1\"...").arg(name));
        status = corvane::layers::exportLayerPicture(
            *layer, path.toStdString(),
            corvane::layers::keyboardDrawingPath(KVStoreFolders().programFolder()));
    }
    if (!status)
        return failed(QObject::tr("The picture of \"%1\" was not written").arg(name), status.error);
    corvane::editor::showStatus(&m_window,
                                QObject::tr("The picture of \"%1\" was written to %2").arg(name, path));
}

void KVEditorFileCommands::exportLayout() {
    const QString folder =
        m_chooser->folder(&m_window, QStringLiteral("Select destination folder for dumping"));
    if (folder.isEmpty())
        return;
    corvane::layers::KVArchiveStatus status;
    {
        BusyCursor busy(m_window, QObject::tr("Writing the keyboard's files to %1...").arg(folder));
        status = DumpTavirexLayout(m_services.main.device(), m_services.layers, m_services.cake,
                                   folder.toStdString());
    }
    if (!status)
        return failed(QObject::tr("The keyboard's files were not written"), status.error);
    corvane::editor::showStatus(&m_window,
                                QObject::tr("The keyboard's files were written to %1").arg(folder));
}

void KVEditorFileCommands::importLayer() {
    const QString path = m_chooser->openFile(&m_window, QObject::tr("Import Layer"), kLayersOpenFilter);
    if (path.isEmpty())
        return;
    corvane::layers::KVImportResult result;
    {
        BusyCursor busy(m_window, QObject::tr("Importing %1...").arg(path));
        result = corvane::layers::importArchive(path.toStdString(), KVStoreFolders().temporaryFolder(),
                                                m_services.cake.loadContext());
    }
    if (!result)
        return failed(QObject::tr("%1 was not imported").arg(path), result.error);
    if (!m_tree.insertItem(result.item))
        return failed(QObject::tr("%1 was not imported").arg(path), "there is no place for it in the tree");
    corvane::editor::showStatus(
        &m_window, QObject::tr("\"%1\" imported").arg(QString::fromStdString(result.item->displayName())));
}

void KVEditorFileCommands::importLayerImage() {
    const QString path =
        m_chooser->openFile(&m_window, QObject::tr("Import Layer from Image"), kImagesFilter);
    if (path.isEmpty())
        return;
    corvane::layers::KVPictureImport result;
    {
        BusyCursor busy(m_window, QObject::tr("Cutting %1 into key pictures...").arg(path));
        result = corvane::layers::importLayerPicture(path.toStdString());
    }
    if (!result)
        return failed(QObject::tr("No layer was made of %1").arg(path), result.error);
    if (!m_tree.insertItem(result.layer))
        return failed(QObject::tr("No layer was made of %1").arg(path),
                      "there is no place for it in the tree");
    corvane::editor::showStatus(
        &m_window, QObject::tr("Layer \"%1\" made of %2")
                       .arg(QString::fromStdString(result.layer->displayName()), QFileInfo(path).fileName()));
}
