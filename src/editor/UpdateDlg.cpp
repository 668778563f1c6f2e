#include "editor/UpdateDlg.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using Stage = KVFirmwareUpdateController::Stage;

namespace {

QLabel* valueLabel(const QString& accessibleName, const QString& toolTip, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAccessibleName(accessibleName);
    label->setToolTip(toolTip);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QString sentence(const std::string& text) {
    QString words = QString::fromStdString(text);
    if (!words.isEmpty())
        words[0] = words[0].toUpper();
    return words;
}

bool downloading(Stage stage) {
    return stage == Stage::FirmwareImage || stage == Stage::Installer;
}

} // namespace

CKVUpdateDlg::CKVUpdateDlg(KVEditorServices& services, QWidget* parent)
    : QDialog(parent), m_services(services), m_updates(services.updates) {
    setWindowTitle(tr("Updates"));
    setObjectName(QStringLiteral("CKVUpdateDlg"));

    m_tabs = new QTabWidget(this);
    m_tabs->setAccessibleName(tr("Updates"));
    m_tabs->addTab(buildFirmwarePage(), tr("Firmware Version"));
    m_tabs->addTab(buildConfiguratorPage(), tr("Configurator Version"));
    // Both tab titles stay whole; the dialog is as wide as they need.
    m_tabs->tabBar()->setUsesScrollButtons(false);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setAccessibleName(tr("Download progress"));
    m_progress->setToolTip(tr("How much of the download has arrived"));
    m_progress->hide();
    m_status = valueLabel(tr("Status"), tr("What the updates are doing, and how the last one ended"), this);
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setText(tr("Close"));
    close->setAccessibleName(tr("Close"));
    close->setToolTip(tr("Close this dialog; a running download goes on"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    // Room for a sentence about a failed download without a tall, narrow status text.
    setMinimumWidth(fontMetrics().averageCharWidth() * 56);

    m_services.dispatch.RegisterHandler<KVM_UPDATE_PROGRESS>(this, &CKVUpdateDlg::Refresh);
    Refresh();
    // A download started before (and still running) is followed rather than disturbed.
    if (m_updates.stage() == Stage::Idle)
        m_updates.CheckForUpdates(followed(tr("Cannot check for updates"), false));
    Refresh();
}

CKVUpdateDlg::~CKVUpdateDlg() {
    m_services.dispatch.UnregisterHandlers(this);
}

QWidget* CKVUpdateDlg::buildFirmwarePage() {
    auto* page = new QWidget(m_tabs);
    m_currentFirmware = valueLabel(tr("Current firmware version"), tr("The firmware of the keyboard"), page);
    m_availableFirmware =
        valueLabel(tr("Available firmware version"), tr("The latest firmware the maker publishes"), page);
    m_versions = new QComboBox(page);
    m_versions->setAccessibleName(tr("Firmware versions"));
    m_versions->setToolTip(tr("The published firmware versions; \"Update\" writes the chosen one"));
    m_versions->hide();

    m_update = new QPushButton(tr("Update"), page);
    m_update->setAccessibleName(tr("Update"));
    m_update->setToolTip(
        tr("Download the firmware and write it to the keyboard, which then upgrades itself"));
    connect(m_update, &QPushButton::clicked, this, &CKVUpdateDlg::updateClicked);
    m_advanced = new QCheckBox(tr("Advanced"), page);
    m_advanced->setAccessibleName(tr("Advanced"));
    m_advanced->setToolTip(tr("Choose any published firmware version, older ones included"));
    connect(m_advanced, &QCheckBox::toggled, this, &CKVUpdateDlg::advancedToggled);

    auto* available = new QHBoxLayout;
    available->addWidget(m_availableFirmware, 1);
    available->addWidget(m_versions, 1);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_advanced);
    actions->addStretch(1);
    actions->addWidget(m_update);

    auto* form = new QFormLayout;
    form->addRow(tr("Current version:"), m_currentFirmware);
    form->addRow(tr("Available version:"), available);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(actions);
    return page;
}

QWidget* CKVUpdateDlg::buildConfiguratorPage() {
    auto* page = new QWidget(m_tabs);
    m_ownVersion = valueLabel(tr("Current configurator version"), tr("The version of this program"), page);
    m_availableConfigurator = valueLabel(tr("Available configurator version"),
                                         tr("The latest configurator the maker publishes"), page);
    m_install = new QPushButton(tr("Install"), page);
    m_install->setAccessibleName(tr("Install"));
    m_install->setToolTip(tr("Download the new configurator and open it with the desktop's installer"));
    connect(m_install, &QPushButton::clicked, this, &CKVUpdateDlg::installClicked);

    auto* form = new QFormLayout;
    form->addRow(tr("Current version:"), m_ownVersion);
    form->addRow(tr("Available version:"), m_availableConfigurator);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(m_install);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(actions);
    return page;
}

void CKVUpdateDlg::Refresh() {
    const Stage stage = m_updates.stage();
    m_progress->setVisible(downloading(stage));
    if (downloading(stage)) {
        m_status->setText(QString::fromStdString(m_updates.StatusText()));
        m_progress->setValue(int(m_updates.progress()));
        m_update->setEnabled(false);
        m_install->setEnabled(false);
        return;
    }
    const bool checking = stage == Stage::FirmwareList || stage == Stage::ConfiguratorList;
    m_status->setText(checking ? tr("Checking for updates...") : m_outcome);

    const bool advanced = m_advanced->isChecked();
    m_currentFirmware->setText(QString::fromStdString(m_updates.CurrentFirmwareText()));
    m_availableFirmware->setText(QString::fromStdString(m_updates.AvailableFirmwareText()));
    // One download at a time: while the lists arrive, neither button would be taken.
    m_update->setEnabled(!checking && m_updates.UpdateEnabled(advanced));
    refillVersions();
    m_ownVersion->setText(QString::fromStdString(m_updates.ownVersion()));
    m_availableConfigurator->setText(QString::fromStdString(m_updates.AvailableConfiguratorText()));
    m_install->setEnabled(!checking && m_updates.InstallEnabled());
}

void CKVUpdateDlg::refillVersions() {
    const auto& entries = m_updates.firmwareEntries();
    if (entries == m_shownEntries)
        return;
    m_shownEntries = entries;
    m_versions->clear();
    for (const auto& entry : entries)
        m_versions->addItem(QString::fromStdString(entry.version));
    m_versions->setCurrentIndex(entries.empty() ? -1 : 0);
}

void CKVUpdateDlg::advancedToggled() {
    const bool advanced = m_advanced->isChecked();
    m_versions->setVisible(advanced);
    m_availableFirmware->setVisible(!advanced);
    Refresh();
}

KVFirmwareUpdateController::Callbacks CKVUpdateDlg::followed(const QString& failure, bool sayDone) {
    // The download may end after the dialog has gone.
    QPointer<CKVUpdateDlg> self(this);
    return {{}, [self, failure, sayDone](const Result& result) {
                if (self)
                    self->finished(failure, sayDone, result);
            }};
}

void CKVUpdateDlg::finished(const QString& failure, bool sayDone, const Result& result) {
    if (result.ok)
        m_outcome = sayDone ? sentence(result.message) + QLatin1Char('.') : QString();
    else
        m_outcome =
            failure + QStringLiteral(": ") + QString::fromStdString(result.message) + QLatin1Char('.');
    // The controller has logged it already.
    Refresh();
}

void CKVUpdateDlg::refused(const QString& why) {
    m_outcome = why;
    corvane::logger("editor").warn("{}", why.toStdString());
}

void CKVUpdateDlg::updateClicked() {
    const bool advanced = m_advanced->isChecked();
    const int selected = m_versions->currentIndex();
    if (advanced && selected < 0)
        return;
    m_outcome.clear();
    if (!m_updates.Update(advanced, size_t(advanced ? selected : 0),
                          followed(tr("The firmware was not updated"), true)))
        refused(tr("The firmware cannot be updated now: another download is running, or the keyboard is "
                   "not connected."));
    Refresh();
}

void CKVUpdateDlg::installClicked() {
    m_outcome.clear();
    if (!m_updates.Install(followed(tr("The configurator was not installed"), true)))
        refused(tr("The configurator cannot be installed now: another download is running."));
    Refresh();
}
