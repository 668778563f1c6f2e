#pragma once

#include "update/FirmwareUpdateController.h"

#include <QDialog>
#include <QString>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
struct KVEditorServices;

// "Updates": the keyboard's firmware and this program against the versions the maker publishes. Opening
// it starts a check; "Update" downloads a firmware image and writes it to the keyboard, "Install"
// downloads the published package and opens it with the desktop's installer. The controller does the
// work and announces every change with KVM_UPDATE_PROGRESS; the dialog only shows its state, and says in
// words how each operation it started ended.
class CKVUpdateDlg final : public QDialog {
public:
    CKVUpdateDlg(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVUpdateDlg() override;

    // Shows the controller's state again (KVM_UPDATE_PROGRESS).
    void Refresh();

    QTabWidget* tabs() const { return m_tabs; }
    QLabel* currentFirmwareText() const { return m_currentFirmware; }
    QLabel* availableFirmwareText() const { return m_availableFirmware; }
    QPushButton* updateButton() const { return m_update; }
    QCheckBox* advancedBox() const { return m_advanced; }
    QComboBox* versionList() const { return m_versions; }
    QLabel* currentConfiguratorText() const { return m_ownVersion; }
    QLabel* availableConfiguratorText() const { return m_availableConfigurator; }
    QPushButton* installButton() const { return m_install; }
    QLabel* statusText() const { return m_status; }
    QProgressBar* progressBar() const { return m_progress; }

private:
    using Result = KVFirmwareUpdateController::Result;

    QWidget* buildFirmwarePage();
    QWidget* buildConfiguratorPage();
    void advancedToggled();
    void updateClicked();
    void installClicked();
    // How an operation started here is followed: its outcome is kept for the status text, a success only
    // when `sayDone`.
    KVFirmwareUpdateController::Callbacks followed(const QString& failure, bool sayDone);
    void finished(const QString& failure, bool sayDone, const Result& result);
    void refillVersions();
    // An operation the controller did not start.
    void refused(const QString& why);

    KVEditorServices& m_services;
    KVFirmwareUpdateController& m_updates;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_currentFirmware = nullptr;
    QLabel* m_availableFirmware = nullptr;
    QPushButton* m_update = nullptr;
    QCheckBox* m_advanced = nullptr;
    QComboBox* m_versions = nullptr;
    QLabel* m_ownVersion = nullptr;
    QLabel* m_availableConfigurator = nullptr;
    QPushButton* m_install = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    // What the list shows, so that a refresh keeps the user's choice while the entries stay the same.
    std::vector<corvane::update::FirmwareEntry> m_shownEntries;
    // How the last operation started here ended; empty when it went as asked.
    QString m_outcome;
};
