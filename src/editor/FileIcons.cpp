#include "editor/FileIcons.h"

#include "editor/KeyImageQt.h"
#include "images/KVImage.h"
#include "system/ApplicationsController.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace corvane::editor {
namespace {

// Desktop entries are small; anything larger is not one worth reading whole.
constexpr qint64 kMaxDesktopEntrySize = 1 << 20;

// Icons that themes do not hold, in the data folders' "pixmaps" as desktop entries may name them.
QIcon pixmapsIcon(const QString& name) {
    for (const QString& folder : QStandardPaths::locateAll(
             QStandardPaths::GenericDataLocation, QStringLiteral("pixmaps"), QStandardPaths::LocateDirectory))
        for (const char* suffix : {".png", ".xpm", ".svg", ""}) {
            const QString file = folder + u'/' + name + QLatin1String(suffix);
            if (QFileInfo(file).isFile())
                return QIcon(file);
        }
    return {};
}

void addIcon(std::vector<KVFileIcon>& icons, const QString& name, const QIcon& icon) {
    if (icon.isNull() || name.isEmpty())
        return;
    for (const auto& known : icons)
        if (known.name == name)
            return;
    if (auto picture = keyPictureOf(icon))
        icons.push_back({name, icon, std::move(picture)});
}

} // namespace

QString desktopEntryIcon(const QString& path) {
    QFile file(path);
    if (file.size() > kMaxDesktopEntrySize || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool mainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            mainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!mainGroup || !line.startsWith(QLatin1String("Icon")))
            continue;
        // "Icon=..." only; "Icon[de]=..." is a translation.
        const QString rest = line.mid(4).trimmed();
        if (rest.startsWith(u'='))
            return rest.mid(1).trimmed();
    }
    return {};
}

QIcon iconByName(const QString& nameOrPath) {
    if (nameOrPath.isEmpty())
        return {};
    if (QFileInfo(nameOrPath).isAbsolute())
        return QFileInfo(nameOrPath).isFile() ? QIcon(nameOrPath) : QIcon();
    QIcon icon = QIcon::fromTheme(nameOrPath);
    return icon.isNull() ? pixmapsIcon(nameOrPath) : icon;
}

std::vector<KVFileIcon> fileIcons(const QString& path, const KVSysApplicationsController& applications) {
    std::vector<KVFileIcon> icons;
    const QFileInfo info(path);
    if (!info.exists())
        return icons;
    if (info.isFile() && info.suffix() == QLatin1String("desktop")) {
        const QString icon = desktopEntryIcon(path);
        addIcon(icons, icon, iconByName(icon));
    }
    if (info.isFile() && info.isExecutable()) {
        // The application catalogue knows programs by their file name, from the desktop entries.
        if (const auto application = applications.FindApplication(info.fileName().toStdString())) {
            const QString icon = QString::fromStdString(application->icon);
            addIcon(icons, icon, iconByName(icon));
        }
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    addIcon(icons, type.iconName(), QIcon::fromTheme(type.iconName()));
    addIcon(icons, type.genericIconName(), QIcon::fromTheme(type.genericIconName()));
    addIcon(icons, type.comment().isEmpty() ? type.name() : type.comment(), QFileIconProvider().icon(info));
    return icons;
}

std::optional<size_t> chooseFileIcon(const std::vector<KVFileIcon>& icons, const QString& fileName,
                                     QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("CKVIconChooser"));
    dialog.setWindowTitle(QObject::tr("Choose an icon"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QObject::tr("Icons for %1:").arg(fileName), &dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("icons"));
    list->setAccessibleName(QObject::tr("Icons"));
    list->setToolTip(QObject::tr("The icon the selected keys show"));
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(KVImage::kKeySize, KVImage::kKeySize));
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    label->setBuddy(list);
    for (const auto& icon : icons) {
        // Shown as the key will show it: drawn over black at the key's size.
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(toQImage(*icon.picture))), icon.name, list);
        item->setToolTip(icon.name);
    }
    list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0)
        return std::nullopt;
    return size_t(list->currentRow());
}

} // namespace corvane::editor
