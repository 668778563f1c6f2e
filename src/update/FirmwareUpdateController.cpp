#include "update/FirmwareUpdateController.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "update/FirmwareImage.h"

#include <algorithm>
#include <filesystem>
#include <utility>

using corvane::update::FirmwareEntry;

namespace corvane::update {

std::string ownVersion() {
    return CORVANE_VERSION;
}

} // namespace corvane::update

namespace {

constexpr std::chrono::seconds kListTimeout{120};
constexpr std::chrono::seconds kImageTimeout{600};
constexpr std::chrono::seconds kInstallerTimeout{3600};

// Ordinal comparison, as the versions are published: "0.59b" < "0.60b" < "0.76b".
bool below(std::string_view version, std::string_view than) {
    return version.compare(than) < 0;
}

unsigned percentOf(uint64_t received, uint64_t expected) {
    if (expected == 0)
        return 0;
    // received / (expected / 100), without dividing by zero for bodies under 100 bytes.
    const uint64_t percent = expected >= 100 ? received / (expected / 100) : received * 100 / expected;
    return unsigned(std::min<uint64_t>(percent, 100));
}

std::string bytesText(std::span<const uint8_t> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

KVFirmwareUpdateController::KVFirmwareUpdateController(KVMainLoop& loop, CKVMessageDispatch& dispatch,
                                                       IKVFirmwareKeyboard& keyboard,
                                                       KVUpdateDesktop& desktop, KVUpdateSettings settings,
                                                       std::string temporaryFolder, std::string ownVersion)
    : m_loop(loop), m_dispatch(dispatch), m_keyboard(keyboard), m_desktop(desktop),
      m_settings(std::move(settings)), m_temporaryFolder(std::move(temporaryFolder)),
      m_ownVersion(std::move(ownVersion)), m_downloader(std::make_unique<KVDownloader>(&loop)) {
    m_dispatch.RegisterHandler<KVM_DEVICE_STATE>(this, &KVFirmwareUpdateController::OnDeviceState);
}

KVFirmwareUpdateController::~KVFirmwareUpdateController() {
    m_closing = true;
    m_dispatch.UnregisterHandlers(this);
    m_downloader.reset();
}

void KVFirmwareUpdateController::refreshCurrentFirmware() {
    m_currentFirmware.clear();
    if (m_keyboard.IsKeyboardOpen())
        m_currentFirmware = corvane::update::extractVersion(m_keyboard.FirmwareVersionText());
}

void KVFirmwareUpdateController::OnDeviceState(unsigned state) {
    refreshCurrentFirmware();
    constexpr unsigned kConnected = 0;
    if (state == kConnected && !m_currentFirmware.empty() &&
        below(m_currentFirmware, corvane::update::kMinimumFirmware)) {
        const std::string text = "Firmware version " + m_currentFirmware +
                                 " is outdated and incompatible with Configurator.\nPress OK for upgrade "
                                 "instructions.";
        if (m_desktop.AskOutdatedFirmware(text, m_settings.instructionsPage))
            m_desktop.OpenPage(m_settings.instructionsPage);
        corvane::logger("update").error("ending: this program cannot drive firmware {}", m_currentFirmware);
        // Posted: this may run inside start-up, before the loop does.
        m_dispatch.post<KVM_CLOSE>();
        return;
    }
    m_dispatch.send<KVM_UPDATE_PROGRESS>();
}

bool KVFirmwareUpdateController::beginOperation(Callbacks callbacks) {
    if (m_stage != Stage::Idle) {
        if (callbacks.done)
            callbacks.done({false, "another update download is running"});
        return false;
    }
    m_callbacks = std::move(callbacks);
    m_afterList = nullptr;
    return true;
}

void KVFirmwareUpdateController::finishOperation(Result result) {
    if (result.ok)
        corvane::logger("update").info("{}", result.message);
    else
        corvane::logger("update").error("{}", result.message);
    auto done = std::move(m_callbacks.done);
    m_callbacks = {};
    m_afterList = nullptr;
    if (done)
        done(result);
}

void KVFirmwareUpdateController::backToIdle() {
    m_stage = Stage::Idle;
    m_progress = 0;
    m_dispatch.send<KVM_UPDATE_PROGRESS>();
}

bool KVFirmwareUpdateController::startDownload(Stage stage, const std::string& directory,
                                               std::string_view fileName, size_t limit,
                                               std::string targetFile) {
    KVDownloadRequest request;
    request.address = joinAddress(directory, fileName);
    request.sizeLimit = limit;
    request.targetFile = std::move(targetFile);
    request.allowPlainHttp = m_settings.allowPlainHttp;
    request.connectTimeout = m_settings.connectTimeout;
    request.stallTimeout = m_settings.stallTimeout;
    request.totalTimeout = stage == Stage::Installer       ? kInstallerTimeout
                           : stage == Stage::FirmwareImage ? kImageTimeout
                                                           : kListTimeout;
    if (directory.empty()) {
        finishOperation({false, "no update address is configured (Updates.plist or CORVANE_*_URL)"});
        return false;
    }
    const std::string address = request.address;
    // The worker reports only whole-percent steps, and waits while the loop thread takes each over.
    auto progress = [this, lastPercent = ~0u](uint64_t received, uint64_t expected) mutable {
        const unsigned percent = percentOf(received, expected);
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        m_loop.send([&] { downloadProgress(received, expected); });
    };
    auto done = [this](KVDownloadResult result) { m_loop.send([&] { downloadDone(std::move(result)); }); };
    if (!m_downloader->start(std::move(request), std::move(progress), std::move(done))) {
        finishOperation({false, "cannot download " + address});
        return false;
    }
    corvane::logger("update").info("downloading {}", address);
    m_stage = stage;
    m_progress = 0;
    m_downloading = address;
    return true;
}

void KVFirmwareUpdateController::downloadProgress(uint64_t received, uint64_t expected) {
    if (m_closing || m_stage == Stage::Idle)
        return;
    m_progress = percentOf(received, expected);
    m_dispatch.send<KVM_UPDATE_PROGRESS>();
    // Callers follow the image or package; the lists before it are too small to show.
    const bool large = m_stage == Stage::FirmwareImage || m_stage == Stage::Installer;
    if (large && m_callbacks.progress)
        m_callbacks.progress(m_progress);
}

void KVFirmwareUpdateController::downloadDone(KVDownloadResult result) {
    if (m_closing)
        return;
    const Stage stage = m_stage;
    if (!result.ok) {
        // The texts keep what they showed, but a dialog must not go on showing a download as running.
        backToIdle();
        finishOperation({false, "download failed: " + result.error});
        return;
    }
    switch (stage) {
    case Stage::FirmwareList:
        firmwareListArrived(result.bytes);
        break;
    case Stage::ConfiguratorList:
        configuratorListArrived(result.bytes);
        break;
    case Stage::FirmwareImage:
        imageArrived(result.bytes);
        break;
    case Stage::Installer:
        installerArrived();
        break;
    case Stage::Idle:
        break;
    }
}

void KVFirmwareUpdateController::CheckForUpdates(Callbacks callbacks) {
    if (!beginOperation(std::move(callbacks)))
        return;
    refreshCurrentFirmware();
    startDownload(Stage::FirmwareList, m_settings.firmwareDirectory, corvane::update::kVersionListFile,
                  corvane::update::kVersionListLimit);
}

void KVFirmwareUpdateController::firmwareListArrived(std::span<const uint8_t> bytes) {
    auto list = corvane::update::parseFirmwareList(bytesText(bytes));
    m_availableFirmware = std::move(list.available);
    m_entries = std::move(list.entries);
    m_stage = Stage::Idle;
    if (auto next = std::exchange(m_afterList, nullptr))
        return next();
    startDownload(Stage::ConfiguratorList, m_settings.configuratorDirectory,
                  corvane::update::kVersionListFile, corvane::update::kVersionListLimit);
    if (m_stage == Stage::Idle)
        m_dispatch.send<KVM_UPDATE_PROGRESS>();
}

void KVFirmwareUpdateController::configuratorListArrived(std::span<const uint8_t> bytes) {
    auto list = corvane::update::parseConfiguratorList(bytesText(bytes));
    m_availableConfigurator = std::move(list.version);
    m_installerName = std::move(list.installerName);
    backToIdle();
    if (auto next = std::exchange(m_afterList, nullptr))
        return next();
    finishOperation({true, "firmware " + CurrentFirmwareText() + " (available " + AvailableFirmwareText() +
                               "), configurator " + m_ownVersion + " (available " +
                               AvailableConfiguratorText() + ")"});
}

void KVFirmwareUpdateController::UpgradeFirmware(const std::string& version, Callbacks callbacks) {
    if (!beginOperation(std::move(callbacks)))
        return;
    refreshCurrentFirmware();
    if (!m_keyboard.IsKeyboardOpen())
        return finishOperation({false, "no keyboard is connected"});
    if (m_currentFirmware.empty())
        return finishOperation({false, "the keyboard's firmware version cannot be read"});
    if (below(m_currentFirmware, corvane::update::kMinimumFirmware))
        return finishOperation({false, "firmware " + m_currentFirmware +
                                           " must be upgraded by hand: " + m_settings.instructionsPage});
    // Always from a fresh list: what was published may have changed since the last check.
    m_afterList = [this, version] { downloadFirmware(version); };
    startDownload(Stage::FirmwareList, m_settings.firmwareDirectory, corvane::update::kVersionListFile,
                  corvane::update::kVersionListLimit);
}

void KVFirmwareUpdateController::downloadFirmware(const std::string& version) {
    std::string fileName;
    if (version.empty()) {
        if (m_availableFirmware.empty())
            return finishOperation({false, "the firmware list names no version"});
        if (!below(m_currentFirmware, m_availableFirmware))
            return finishOperation({true, "firmware " + m_currentFirmware + " is up to date (latest " +
                                              m_availableFirmware + ")"});
        fileName = corvane::update::kLatestFirmwareFile;
    } else {
        auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const FirmwareEntry& e) { return e.version == version; });
        if (entry == m_entries.end()) {
            std::string published;
            for (const auto& e : m_entries)
                published += (published.empty() ? "" : ", ") + e.version;
            return finishOperation({false, "firmware " + version + " is not published (published: " +
                                               (published.empty() ? "none" : published) + ")"});
        }
        fileName = entry->fileName;
    }
    startDownload(Stage::FirmwareImage, m_settings.firmwareDirectory, fileName,
                  corvane::update::kFirmwareImageLimit);
}

bool KVFirmwareUpdateController::Update(bool advanced, size_t selected, Callbacks callbacks) {
    if (!UpdateEnabled(advanced) || m_stage != Stage::Idle)
        return false;
    const std::string fileName = advanced ? (selected < m_entries.size() ? m_entries[selected].fileName : "")
                                          : std::string(corvane::update::kLatestFirmwareFile);
    if (fileName.empty() || !beginOperation(std::move(callbacks)))
        return false;
    return startDownload(Stage::FirmwareImage, m_settings.firmwareDirectory, fileName,
                         corvane::update::kFirmwareImageLimit);
}

void KVFirmwareUpdateController::imageArrived(std::span<const uint8_t> bytes) {
    Result result = stageImage(bytes, m_downloading);
    backToIdle();
    finishOperation(std::move(result));
}

KVFirmwareUpdateController::Result KVFirmwareUpdateController::stageImage(std::span<const uint8_t> image,
                                                                          const std::string& source) {
    // Nothing reaches the keyboard's flash unless it is whole and its own.
    const auto problem = corvane::update::checkFirmwareImage(image);
    if (problem != corvane::update::FirmwareImageProblem::None)
        return {false, "the firmware image " + source + " is refused: " + std::string(describe(problem))};
    if (!m_keyboard.IsKeyboardOpen())
        return {false, "no keyboard is connected; the firmware image was not written"};
    if (!m_keyboard.StageFirmware(image))
        return {false, "the keyboard did not take the firmware image"};
    return {true,
            "the firmware image " + source + " is written to the keyboard, which upgrades itself from it"};
}

KVFirmwareUpdateController::Result
KVFirmwareUpdateController::InstallFirmwareImage(std::span<const uint8_t> image) {
    if (m_stage == Stage::FirmwareImage)
        return {false, "a firmware image is being downloaded"};
    refreshCurrentFirmware();
    if (m_keyboard.IsKeyboardOpen() && !m_currentFirmware.empty() &&
        below(m_currentFirmware, corvane::update::kMinimumFirmware))
        return {false, "firmware " + m_currentFirmware +
                           " must be upgraded by hand: " + m_settings.instructionsPage};
    Result result = stageImage(image, "from the file");
    if (result.ok)
        corvane::logger("update").info("{}", result.message);
    else
        corvane::logger("update").error("{}", result.message);
    return result;
}

void KVFirmwareUpdateController::InstallConfigurator(Callbacks callbacks) {
    if (!beginOperation(std::move(callbacks)))
        return;
    if (m_temporaryFolder.empty())
        return finishOperation({false, "no private temporary folder to download the package into"});
    // A fresh list first, then the package it names.
    m_afterList = [this] {
        if (m_installerName.empty())
            return finishOperation({false, "the configurator list names no package"});
        if (!below(m_ownVersion, m_availableConfigurator))
            return finishOperation({true, "configurator " + m_ownVersion + " is up to date (published " +
                                              m_availableConfigurator + ")"});
        m_installerPath = (std::filesystem::path(m_temporaryFolder) / m_installerName).string();
        startDownload(Stage::Installer, m_settings.configuratorDirectory, m_installerName,
                      corvane::update::kInstallerLimit, m_installerPath);
    };
    startDownload(Stage::ConfiguratorList, m_settings.configuratorDirectory,
                  corvane::update::kVersionListFile, corvane::update::kVersionListLimit);
}

bool KVFirmwareUpdateController::Install(Callbacks callbacks) {
    if (!InstallEnabled() || m_stage != Stage::Idle)
        return false;
    if (!beginOperation(std::move(callbacks)))
        return false;
    m_installerPath = (std::filesystem::path(m_temporaryFolder) / m_installerName).string();
    return startDownload(Stage::Installer, m_settings.configuratorDirectory, m_installerName,
                         corvane::update::kInstallerLimit, m_installerPath);
}

void KVFirmwareUpdateController::installerArrived() {
    const std::string path = m_installerPath;
    backToIdle();
    if (!m_desktop.OpenPackage(path))
        return finishOperation({false, "the package " + path + " was downloaded but cannot be opened"});
    finishOperation({true, "the package " + path + " is opened with the desktop's installer"});
}

bool KVFirmwareUpdateController::UpdateEnabled(bool advanced) const {
    if (m_stage == Stage::FirmwareImage || m_stage == Stage::Installer)
        return false;
    if (m_availableFirmware.empty() || m_currentFirmware.empty() ||
        below(m_currentFirmware, corvane::update::kMinimumFirmware))
        return false;
    return advanced || below(m_currentFirmware, m_availableFirmware);
}

bool KVFirmwareUpdateController::InstallEnabled() const {
    if (m_stage == Stage::FirmwareImage || m_stage == Stage::Installer)
        return false;
    return !m_availableConfigurator.empty() && !m_installerName.empty() && !m_ownVersion.empty() &&
           below(m_ownVersion, m_availableConfigurator);
}

std::string KVFirmwareUpdateController::StatusText() const {
    if (m_stage == Stage::FirmwareImage || m_stage == Stage::Installer)
        return "Downloaded: " + std::to_string(m_progress) + "%";
    return {};
}

std::string KVFirmwareUpdateController::CurrentFirmwareText() const {
    if (!m_currentFirmware.empty())
        return m_currentFirmware;
    return m_keyboard.IsKeyboardOpen() ? "[Can't retrive]" : "[Device not connected]";
}

std::string KVFirmwareUpdateController::AvailableFirmwareText() const {
    return m_availableFirmware.empty() ? "[Data not avaliable]" : m_availableFirmware;
}

std::string KVFirmwareUpdateController::AvailableConfiguratorText() const {
    return m_availableConfigurator.empty() ? "[Data not avaliable]" : m_availableConfigurator;
}
