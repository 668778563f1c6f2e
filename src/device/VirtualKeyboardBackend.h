#pragma once

#include "device/DeviceBackend.h"

#include <filesystem>

// The keyboard played by a folder (see VirtualKeyboard.h): `corvane-configurator --virtual-keyboard DIR`
// and the tests drive it exactly as a real one, through files and one-report-per-read interfaces.
class KVVirtualKeyboardBackend final : public IKVDeviceBackend {
public:
    explicit KVVirtualKeyboardBackend(std::filesystem::path folder);
    ~KVVirtualKeyboardBackend() override;

    std::vector<DeviceInfo> findDevices() override;
    uint32_t sectorSize(const DeviceInfo& device) override;
    bool isVolumePresent(const DeviceInfo& device) override;
    std::unique_ptr<IKVReportPort> openReportPort(const std::string& path) override;
    // The folder is always at hand: it counts as shown and cannot be hidden.
    bool mountDrive(DeviceInfo& device) override;
    bool unmountDrive(DeviceInfo& device) override;
    // Changes in the folder (inotify): the keyboard comes and goes with vTavirex/version.sys.
    int monitorFd() override;
    std::vector<KVDeviceEvent> readMonitor() override;

    const std::filesystem::path& folder() const { return m_folder; }

private:
    void watchFolders();

    std::filesystem::path m_folder;
    int m_inotify = -1;
};
