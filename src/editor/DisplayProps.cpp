#include "editor/DisplayProps.h"

#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/KeyEdits.h"
#include "editor/KeyFileDrop.h"
#include "images/KVImage.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/ViewPluginInstance.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

} // namespace

CKVDisplayProps::CKVDisplayProps(KVEditorServices& services, QWidget* parent)
    : CKVCommonPluginProps(services, KVSubPluginKind::View, tr("Display:"), tr("Image"), parent) {
    setAcceptDrops(true);
    auto* label = new QLabel(tr("Enter path, browse or drop a file:"), this);
    label->setWordWrap(true);
    m_path = new QLineEdit(this);
    m_path->setAccessibleName(tr("Picture path"));
    m_path->setToolTip(tr("A picture file for the selected keys; a program or other file gives its icon. "
                          "Press Enter to apply; an empty path removes the picture."));
    m_path->setClearButtonEnabled(true);
    label->setBuddy(m_path);

    auto* files = new QFileSystemModel(this);
    files->setRootPath(QString());
    auto* completer = new QCompleter(files, this);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    m_path->setCompleter(completer);

    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setAccessibleName(tr("Browse for a picture"));
    m_browse->setToolTip(tr("Choose a picture file for the selected keys"));

    auto* row = new QHBoxLayout;
    row->addWidget(m_path, 1);
    row->addWidget(m_browse);
    builtInLayout()->addWidget(label);
    builtInLayout()->addLayout(row);

    completer->popup()->installEventFilter(this);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
            [this] { QTimer::singleShot(0, this, &CKVDisplayProps::applyTypedPath); });
    connect(m_path, &QLineEdit::editingFinished, this, [this] {
        // The completion list taking the focus is no end of typing: a half-typed path is not applied.
        if (m_path->completer()->popup()->isVisible())
            return;
        applyTypedPath();
    });
    connect(m_browse, &QPushButton::clicked, this, &CKVDisplayProps::browse);
    refresh();
}

void CKVDisplayProps::applyTypedPath() {
    // Leaving the box unchanged (focus moving on) must not set the picture again.
    if (m_path->text() != m_shownPath)
        applyPath(m_path->text());
}

bool CKVDisplayProps::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == m_path->completer()->popup()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            !m_path->completer()->popup()->currentIndex().isValid())
            // After the completer has put the list away.
            QTimer::singleShot(0, this, &CKVDisplayProps::applyTypedPath);
    }
    return CKVCommonPluginProps::eventFilter(watched, event);
}

bool CKVDisplayProps::setChoice(const KVPtr<KVLayer>& layer, unsigned key, const KVPluginChoice& choice) {
    const auto& current = layer->binding(key).viewPlugin;
    if (choice.isBuiltIn() ? !current
                           : current && current->PluginID() == choice.pluginId &&
                                 current->SubPluginID() == choice.subPluginId)
        return false;
    return services().layers.Editing().SetViewPlugin(layer, key, choice.pluginId, choice.subPluginId);
}

KVPtr<KVKeyPluginInstance> CKVDisplayProps::instanceOf(const KVKeyBinding& binding) const {
    return binding.viewPlugin;
}

void CKVDisplayProps::refreshBuiltIn(const KVKeyBinding* binding) {
    m_path->setEnabled(binding != nullptr);
    m_browse->setEnabled(binding != nullptr);
    m_shownPath =
        binding && binding->image ? QString::fromStdString(binding->image->sourcePath()) : QString();
    // What the user is typing stays until they are done with it.
    if (!(m_path->hasFocus() && m_path->isModified()))
        m_path->setText(m_shownPath);
}

void CKVDisplayProps::applyPath(const QString& path) {
    const auto keys = corvane::editor::selectedKeys(services());
    if (keys.empty())
        return;
    const QString trimmed = path.trimmed();
    QString status;
    if (trimmed.isEmpty()) {
        const bool removed = corvane::editor::editKeys(
            services(), keys, "Remove picture of " + corvane::editor::keysText(keys).toStdString(),
            [this](const KVPtr<KVLayer>& layer, unsigned key) {
                return layer->binding(key).image && services().layers.Editing().SetKeyImage(layer, key, {});
            });
        const bool one = keys.size() == 1;
        status = (removed ? (one ? tr("%1 shows no picture now") : tr("%1 show no picture now"))
                          : (one ? tr("%1 has no picture to remove") : tr("%1 have no picture to remove")))
                     .arg(corvane::editor::keysText(keys));
    } else {
        status = corvane::editor::dropFilesOnKeys(services(), keys, {trimmed}, false, this);
    }
    m_path->setModified(false);
    refresh();
    corvane::editor::showStatus(this, status);
}

void CKVDisplayProps::browse() {
    QFileDialog dialog(this, tr("Select a picture for a button"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({tr("Images (*.bmp *.jpg *.gif *.tiff *.psd *.png)"), tr("All files (*)")});
    const QFileInfo current(m_path->text());
    if (!m_path->text().isEmpty() && current.dir().exists()) {
        dialog.setDirectory(current.dir());
        dialog.selectFile(current.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().front();
    m_path->setText(chosen);
    applyPath(chosen);
}

void CKVDisplayProps::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty() && !corvane::editor::selectedKeys(services()).empty())
        event->acceptProposedAction();
}

void CKVDisplayProps::dropEvent(QDropEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    const bool chooseIcon = event->modifiers().testFlag(Qt::ControlModifier);
    const QString status = corvane::editor::dropFilesOnKeys(
        services(), corvane::editor::selectedKeys(services()), files, chooseIcon, this);
    refresh();
    corvane::editor::showStatus(this, status);
}
