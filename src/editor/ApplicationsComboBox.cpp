#include "editor/ApplicationsComboBox.h"

#include "editor/EditorStatus.h"
#include "system/ApplicationsController.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>

namespace {

constexpr int kAddApplicationRole = Qt::UserRole + 1;

QIcon applicationIcon(const std::string& icon) {
    const QString name = QString::fromStdString(icon);
    if (!name.isEmpty() && QFileInfo(name).isAbsolute() && QFileInfo::exists(name))
        return QIcon(name);
    const QIcon fallback = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return name.isEmpty() ? fallback : QIcon::fromTheme(name, fallback);
}

// Programs live in /usr/bin on Linux; only executable files are offered.
QString chooseProgram(QWidget* parent) {
    QFileDialog dialog(parent, QObject::tr("Add application"), QStringLiteral("/usr/bin"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QObject::tr("Application files (*)"));
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

} // namespace

CKVApplicationsComboBox::CKVApplicationsComboBox(KVSysApplicationsController& applications, QWidget* parent)
    : QComboBox(parent), m_applications(applications), m_chooser(&chooseProgram) {
    setAccessibleName(tr("Application"));
    setToolTip(tr("The application this condition is about"));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    reload();
    connect(this, &QComboBox::activated, this, &CKVApplicationsComboBox::onActivated);
}

QString CKVApplicationsComboBox::addApplicationText() {
    return tr("Add application...");
}

void CKVApplicationsComboBox::showPopup() {
    reload();
    QComboBox::showPopup();
}

void CKVApplicationsComboBox::reload() {
    const QSignalBlocker quiet(this);
    clear();
    for (const auto& entry : m_applications.applicationsByDisplayName()) {
        addItem(applicationIcon(entry.icon), QString::fromStdString(entry.displayName()),
                QString::fromStdString(entry.id));
        setItemData(count() - 1, QString::fromStdString(entry.path), Qt::ToolTipRole);
    }
    addItem(addApplicationText());
    setItemData(count() - 1, true, kAddApplicationRole);
    if (!m_selected.empty())
        setApplication(m_selected);
    else
        setCurrentIndex(-1);
}

int CKVApplicationsComboBox::indexOf(const std::string& id) const {
    const QString wanted = QString::fromStdString(id).toLower();
    for (int i = 0; i < count(); ++i)
        if (!itemData(i, kAddApplicationRole).toBool() && itemData(i).toString().toLower() == wanted)
            return i;
    return -1;
}

void CKVApplicationsComboBox::setApplication(const std::string& id) {
    const QSignalBlocker quiet(this);
    m_selected = id;
    int index = indexOf(id);
    if (index < 0 && !id.empty()) {
        // A stored condition may name a program this computer does not have: show it as it is.
        insertItem(count() - 1, applicationIcon({}), QString::fromStdString(id), QString::fromStdString(id));
        index = count() - 2;
    }
    setCurrentIndex(index);
}

std::string CKVApplicationsComboBox::application() const {
    return m_selected;
}

void CKVApplicationsComboBox::onActivated(int index) {
    if (itemData(index, kAddApplicationRole).toBool()) {
        addApplication();
        return;
    }
    const std::string id = itemData(index).toString().toStdString();
    if (id.empty() || id == m_selected)
        return;
    m_selected = id;
    emit applicationChosen(QString::fromStdString(id));
}

void CKVApplicationsComboBox::addApplication() {
    const QString path = m_chooser ? m_chooser(this) : QString();
    if (path.isEmpty()) {
        setApplication(m_selected);
        return;
    }
    const QFileInfo file(path);
    if (!file.isFile() || !file.isExecutable()) {
        corvane::editor::showStatus(this, tr("%1 is not a program that can be run").arg(path));
        setApplication(m_selected);
        return;
    }
    const auto added = m_applications.AddApplication(file.absoluteFilePath().toStdString(), true);
    if (!added.entry) {
        corvane::editor::showStatus(this, tr("%1 could not be added to the applications").arg(path));
        setApplication(m_selected);
        return;
    }
    // Only what the user added is kept in the configuration; a catalogued program is known anyway.
    if (added.isNew)
        m_applications.AddToUserList(added.entry->id);
    m_selected = added.entry->id;
    reload();
    emit applicationChosen(QString::fromStdString(m_selected));
}
