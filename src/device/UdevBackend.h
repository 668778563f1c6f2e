#pragma once

#include "device/DeviceBackend.h"

#include <functional>
#include <optional>
#include <string>

struct udev;
struct udev_device;
struct udev_monitor;

// Real keyboards, through the system's device database: the USB device 05E3:0608 and its descendants,
// the keyboard's disk recognised by its SCSI vendor and model, the two HID interfaces as hidraw nodes,
// the volume's mount point from mountinfo (mounted through UDisks2 when the desktop has not mounted
// it), and arrivals and removals from a udev monitor.
class KVUdevBackend final : public IKVDeviceBackend {
public:
    struct Options {
        std::string mountInfoPath = "/proc/self/mountinfo";
        // Mounts a block device ("sdb1") and answers its mount point; UDisks2 by default.
        std::function<std::optional<std::string>(const std::string& kernelName)> mount;
        // Opens a hidraw node (flags as for open(2)); open(2) by default. Tests hand in their own ends.
        std::function<int(const std::string& path, int flags)> openRestricted;
    };

    KVUdevBackend();
    explicit KVUdevBackend(Options options);
    ~KVUdevBackend() override;
    KVUdevBackend(const KVUdevBackend&) = delete;
    KVUdevBackend& operator=(const KVUdevBackend&) = delete;

    std::vector<DeviceInfo> findDevices() override;
    // The logical block size of the volume's disk.
    uint32_t sectorSize(const DeviceInfo& device) override;
    // The block device still exists and is still mounted where the files are.
    bool isVolumePresent(const DeviceInfo& device) override;
    std::unique_ptr<IKVReportPort> openReportPort(const std::string& path) override;
    // A Linux volume cannot be written unless it is mounted, and a mounted volume is visible to the user.
    // So "show the drive" means "mounted" (through UDisks2 if needed, answering true), and hiding it is
    // refused (false): the volume stays mounted while the configurator drives the keyboard.
    bool mountDrive(DeviceInfo& device) override;
    bool unmountDrive(DeviceInfo& device) override;
    int monitorFd() override;
    std::vector<KVDeviceEvent> readMonitor() override;

private:
    bool examineKeyboard(udev_device* parent, DeviceInfo& info);
    std::optional<std::string> mountPointOf(udev_device* block);

    Options m_options;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    bool m_toldUnmount = false;
};
