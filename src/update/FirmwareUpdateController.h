#pragma once

#include "update/Downloader.h"
#include "update/UpdateDesktop.h"
#include "update/UpdateSettings.h"
#include "update/VersionLists.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CKVMessageDispatch;
class KVMainLoop;

namespace corvane::update {
// Firmware below this cannot be driven by this program; it must be upgraded by hand first.
inline constexpr std::string_view kMinimumFirmware = "0.60b";
// Bodies beyond these sizes are refused while they arrive.
inline constexpr size_t kVersionListLimit = 64 * 1024;
inline constexpr size_t kFirmwareImageLimit = 1024 * 1024;
inline constexpr size_t kInstallerLimit = 512 * 1024 * 1024;
// This program's version, as the build gives it.
std::string ownVersion();
} // namespace corvane::update

// Compares the keyboard's firmware and this program with the versions the maker publishes, downloads
// and stages firmware images, downloads configurator packages, and stops the program when the keyboard's
// firmware is too old to be driven.
//
// Everything runs on the loop thread; downloads run on the downloader's worker, which hands progress and
// completion over with sends. KVM_UPDATE_PROGRESS announces every change of what the texts show.
// One download at a time: an operation asked for while one runs is refused.
class KVFirmwareUpdateController {
public:
    enum class Stage { Idle = 0, FirmwareList = 1, ConfiguratorList = 2, FirmwareImage = 3, Installer = 4 };

    struct Result {
        bool ok = false;
        std::string message;
    };
    // How a caller (the dialog, the command line, the control socket) follows one operation.
    struct Callbacks {
        std::function<void(unsigned percent)> progress;
        std::function<void(const Result&)> done;
    };

    KVFirmwareUpdateController(KVMainLoop& loop, CKVMessageDispatch& dispatch, IKVFirmwareKeyboard& keyboard,
                               KVUpdateDesktop& desktop, KVUpdateSettings settings,
                               std::string temporaryFolder,
                               std::string ownVersion = corvane::update::ownVersion());
    // Cancels a running download and waits for it.
    ~KVFirmwareUpdateController();
    KVFirmwareUpdateController(const KVFirmwareUpdateController&) = delete;
    KVFirmwareUpdateController& operator=(const KVFirmwareUpdateController&) = delete;

    // KVM_DEVICE_STATE: refreshes the current firmware; a connected keyboard with firmware below
    // kMinimumFirmware is explained to the user and ends the program.
    void OnDeviceState(unsigned state);

    // Fetches the firmware list, then the configurator list.
    void CheckForUpdates(Callbacks callbacks = {});
    // Downloads firmware `version` (the latest when empty), checks it and stages it on the keyboard.
    // The latest is fetched only when it is newer than the keyboard's; a named version in any case.
    void UpgradeFirmware(const std::string& version, Callbacks callbacks = {});
    // Checks an image from elsewhere (a local file) and stages it.
    Result InstallFirmwareImage(std::span<const uint8_t> image);
    // Downloads the published configurator package into the temporary folder and opens it with the
    // desktop's package installer.
    void InstallConfigurator(Callbacks callbacks = {});

    // The dialog's "Update": the latest image, or with `advanced` the entry `selected`. False when
    // nothing was started (then `callbacks` hear nothing either).
    bool Update(bool advanced, size_t selected, Callbacks callbacks = {});
    // The dialog's "Install": the package of the last check.
    bool Install(Callbacks callbacks = {});
    bool UpdateEnabled(bool advanced) const;
    bool InstallEnabled() const;

    // The dialog's texts.
    std::string StatusText() const;
    std::string CurrentFirmwareText() const;
    std::string AvailableFirmwareText() const;
    std::string AvailableConfiguratorText() const;

    Stage stage() const { return m_stage; }
    // The percentage of the running download.
    unsigned progress() const { return m_progress; }
    // The support mail names both: the keyboard's firmware (empty when unknown) and this program.
    const std::string& currentFirmware() const { return m_currentFirmware; }
    const std::string& ownVersion() const { return m_ownVersion; }
    // The dialog's drop-down list.
    const std::vector<corvane::update::FirmwareEntry>& firmwareEntries() const { return m_entries; }

private:
    using Continuation = std::function<void()>;

    void refreshCurrentFirmware();
    bool beginOperation(Callbacks callbacks);
    void finishOperation(Result result);
    bool startDownload(Stage stage, const std::string& directory, std::string_view fileName, size_t limit,
                       std::string targetFile = {});
    void downloadProgress(uint64_t received, uint64_t expected);
    void downloadDone(KVDownloadResult result);
    void firmwareListArrived(std::span<const uint8_t> bytes);
    void configuratorListArrived(std::span<const uint8_t> bytes);
    void imageArrived(std::span<const uint8_t> bytes);
    void installerArrived();
    void downloadFirmware(const std::string& version);
    Result stageImage(std::span<const uint8_t> image, const std::string& source);
    void backToIdle();

    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    IKVFirmwareKeyboard& m_keyboard;
    KVUpdateDesktop& m_desktop;
    KVUpdateSettings m_settings;
    std::string m_temporaryFolder;

    Stage m_stage = Stage::Idle;
    std::string m_availableFirmware;
    std::string m_currentFirmware;
    std::string m_availableConfigurator;
    std::string m_installerName;
    std::string m_ownVersion;
    std::vector<corvane::update::FirmwareEntry> m_entries;
    unsigned m_progress = 0;

    // The operation in progress: who follows it, what comes after the list it fetches, what is fetched.
    Callbacks m_callbacks;
    Continuation m_afterList;
    std::string m_downloading;
    std::string m_installerPath;
    bool m_closing = false;
    // Last: goes first, so no callback of its worker outlives the fields above.
    std::unique_ptr<KVDownloader> m_downloader;
};
