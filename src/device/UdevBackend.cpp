#include "device/UdevBackend.h"

#include "core/Log.h"
#include "device/DeviceIdentity.h"
#include "device/MountInfo.h"
#include "device/UDisksMount.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <libudev.h>
#include <memory>
#include <string_view>
#include <unistd.h>

using namespace corvane::device;

namespace {

struct DeviceUnref {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using DevicePtr = std::unique_ptr<udev_device, DeviceUnref>;
struct EnumerateUnref {
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
};
using EnumeratePtr = std::unique_ptr<udev_enumerate, EnumerateUnref>;

std::string_view text(const char* value) {
    return value ? std::string_view(value) : std::string_view();
}

// Parses a hexadecimal or decimal sysfs number; empty when it is not one.
template <class T> std::optional<T> number(std::string_view value, int base) {
    while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
        value.remove_suffix(1);
    T result{};
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result, base);
    if (value.empty() || error != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    return result;
}

// The disk identifier of a block device (disk or partition), from the SCSI device above it, else from
// the properties udev's usb_id gave the disk.
std::string diskIdentifierOf(udev_device* block) {
    udev_device* disk = std::string_view(text(udev_device_get_devtype(block))) == "disk"
                            ? block
                            : udev_device_get_parent_with_subsystem_devtype(block, "block", "disk");
    if (!disk)
        return {};
    if (udev_device* scsi = udev_device_get_parent_with_subsystem_devtype(disk, "scsi", "scsi_device")) {
        const char* vendor = udev_device_get_sysattr_value(scsi, "vendor");
        const char* model = udev_device_get_sysattr_value(scsi, "model");
        if (vendor && model)
            return diskIdentifier(vendor, model);
    }
    const char* vendor = udev_device_get_property_value(disk, "ID_VENDOR");
    const char* model = udev_device_get_property_value(disk, "ID_MODEL");
    if (vendor && model)
        return diskIdentifier(vendor, model);
    return {};
}

// "HID\VID_...&PID_...&MI_.." of a hidraw node, from its HID device and its USB interface.
std::string hidIdentifierOf(udev_device* hidraw) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    udev_device* interface = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_interface");
    if (!hid || !interface)
        return {};
    // HID_ID is "bus:vendor:product", each hexadecimal ("0003:000004D9:00000022").
    const std::string_view id = text(udev_device_get_property_value(hid, "HID_ID"));
    const size_t first = id.find(':');
    const size_t second = id.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return {};
    const auto vendor = number<uint32_t>(id.substr(first + 1, second - first - 1), 16);
    const auto product = number<uint32_t>(id.substr(second + 1), 16);
    const auto interfaceNumber =
        number<unsigned>(text(udev_device_get_sysattr_value(interface, "bInterfaceNumber")), 16);
    if (!vendor || !product || !interfaceNumber)
        return {};
    return hidIdentifier(uint16_t(*vendor), uint16_t(*product), *interfaceNumber);
}

int openDefault(const std::string& path, int flags) {
    return ::open(path.c_str(), flags);
}

// A hidraw node: one report per read.
class HidrawPort final : public IKVReportPort {
public:
    HidrawPort(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~HidrawPort() override { close(m_fd); }
    int pollFd() const override { return m_fd; }
    bool readReports(const std::function<void(std::span<const uint8_t>)>& onReport) override {
        uint8_t report[64];
        for (;;) {
            const ssize_t got = read(m_fd, report, sizeof report);
            if (got > 0) {
                onReport(std::span(report, size_t(got)));
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && errno == EAGAIN)
                return true;
            // ENODEV (unplugged) or end of stream: the interface is gone.
            corvane::logger("device").info("{} closed: {}", m_path,
                                           got == 0 ? "end of stream" : std::strerror(errno));
            return false;
        }
    }

private:
    int m_fd;
    std::string m_path;
};

} // namespace

KVUdevBackend::KVUdevBackend() : KVUdevBackend(Options{}) {}

KVUdevBackend::KVUdevBackend(Options options) : m_options(std::move(options)), m_udev(udev_new()) {
    if (!m_options.mount)
        m_options.mount = udisksMount;
    if (!m_options.openRestricted)
        m_options.openRestricted = openDefault;
    if (!m_udev)
        corvane::logger("device").error("no udev context; keyboards cannot be found");
}

KVUdevBackend::~KVUdevBackend() {
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

std::optional<std::string> KVUdevBackend::mountPointOf(udev_device* block) {
    return corvane::device::mountPointOf(udev_device_get_devnum(block), m_options.mountInfoPath);
}

bool KVUdevBackend::examineKeyboard(udev_device* parent, DeviceInfo& info) {
    EnumeratePtr below(udev_enumerate_new(m_udev));
    if (!below || udev_enumerate_add_match_parent(below.get(), parent) < 0 ||
        udev_enumerate_scan_devices(below.get()) < 0)
        return false;

    // The keyboard's disk may carry its filesystem on a partition or on the whole disk; a mounted one
    // wins, then a partition, then the disk.
    DevicePtr volume;
    int volumeRank = -1;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(below.get())) {
        DevicePtr device(udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry)));
        if (!device)
            continue;
        const std::string_view subsystem = text(udev_device_get_subsystem(device.get()));
        if (subsystem == "block") {
            const auto model = modelOfDisk(diskIdentifierOf(device.get()));
            if (!model)
                continue;
            const bool partition = text(udev_device_get_devtype(device.get())) == "partition";
            const int rank = mountPointOf(device.get()) ? 2 : partition ? 1 : 0;
            if (rank > volumeRank) {
                volumeRank = rank;
                volume = std::move(device);
                info.model = *model;
            }
        } else if (subsystem == "hidraw") {
            const std::string id = hidIdentifierOf(device.get());
            const char* node = udev_device_get_devnode(device.get());
            if (id.empty() || !node)
                continue;
            if (id.find(kStandardHidId) != std::string::npos && info.firstHidPath.empty())
                info.firstHidPath = node;
            else if (id.find(kKeyStateHidId) != std::string::npos && info.secondHidPath.empty())
                info.secondHidPath = node;
        }
    }
    if (!volume || info.firstHidPath.empty())
        return false;

    info.volumePath = udev_device_get_syspath(volume.get());
    auto mountPoint = mountPointOf(volume.get());
    if (!mountPoint) {
        const std::string name(text(udev_device_get_sysname(volume.get())));
        mountPoint = m_options.mount(name);
        // UDisks2 may answer that somebody else (the desktop) mounted it meanwhile.
        if (!mountPoint)
            mountPoint = this->mountPointOf(volume.get());
    }
    if (!mountPoint)
        return false;
    info.volumeName = *mountPoint + (mountPoint->ends_with('/') ? "" : "/");
    return true;
}

std::vector<DeviceInfo> KVUdevBackend::findDevices() {
    std::vector<DeviceInfo> found;
    if (!m_udev)
        return found;
    EnumeratePtr parents(udev_enumerate_new(m_udev));
    const std::string vendor = fmt::format("{:04x}", kParentVendor);
    const std::string product = fmt::format("{:04x}", kParentProduct);
    if (!parents || udev_enumerate_add_match_subsystem(parents.get(), "usb") < 0 ||
        udev_enumerate_add_match_sysattr(parents.get(), "idVendor", vendor.c_str()) < 0 ||
        udev_enumerate_add_match_sysattr(parents.get(), "idProduct", product.c_str()) < 0 ||
        udev_enumerate_scan_devices(parents.get()) < 0)
        return found;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(parents.get())) {
        DevicePtr parent(udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry)));
        if (!parent || text(udev_device_get_devtype(parent.get())) != "usb_device")
            continue;
        DeviceInfo info;
        if (examineKeyboard(parent.get(), info) && info.isUsable())
            found.push_back(std::move(info));
    }
    return found;
}

uint32_t KVUdevBackend::sectorSize(const DeviceInfo& device) {
    DevicePtr block(udev_device_new_from_syspath(m_udev, device.volumePath.c_str()));
    if (!block)
        return 0;
    udev_device* disk = text(udev_device_get_devtype(block.get())) == "disk"
                            ? block.get()
                            : udev_device_get_parent_with_subsystem_devtype(block.get(), "block", "disk");
    const char* size = disk ? udev_device_get_sysattr_value(disk, "queue/logical_block_size") : nullptr;
    return number<uint32_t>(text(size), 10).value_or(0);
}

bool KVUdevBackend::isVolumePresent(const DeviceInfo& device) {
    if (!m_udev || device.volumePath.empty())
        return false;
    DevicePtr block(udev_device_new_from_syspath(m_udev, device.volumePath.c_str()));
    if (!block)
        return false;
    const auto mountPoint = mountPointOf(block.get());
    return mountPoint && *mountPoint + (mountPoint->ends_with('/') ? "" : "/") == device.volumeName;
}

std::unique_ptr<IKVReportPort> KVUdevBackend::openReportPort(const std::string& path) {
    const int fd = m_options.openRestricted(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        corvane::logger("device").warn("cannot open {}: {}", path, std::strerror(errno));
        return nullptr;
    }
    return std::make_unique<HidrawPort>(fd, path);
}

bool KVUdevBackend::mountDrive(DeviceInfo& device) {
    return isVolumePresent(device);
}

bool KVUdevBackend::unmountDrive(DeviceInfo&) {
    if (!m_toldUnmount)
        corvane::logger("device").info(
            "the keyboard's volume stays mounted while the configurator drives it");
    m_toldUnmount = true;
    return false;
}

int KVUdevBackend::monitorFd() {
    if (!m_monitor && m_udev) {
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", nullptr) < 0 ||
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", nullptr) < 0 ||
            udev_monitor_enable_receiving(m_monitor) < 0) {
            corvane::logger("device").warn("no udev monitor; keyboards plugged in later are not seen");
            if (m_monitor)
                udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
        }
    }
    return m_monitor ? udev_monitor_get_fd(m_monitor) : -1;
}

std::vector<KVDeviceEvent> KVUdevBackend::readMonitor() {
    std::vector<KVDeviceEvent> events;
    if (!m_monitor)
        return events;
    while (DevicePtr device{udev_monitor_receive_device(m_monitor)}) {
        const std::string_view action = text(udev_device_get_action(device.get()));
        if (action == "add" || action == "bind" || action == "change")
            events.push_back(KVDeviceEvent::Arrival);
        else if (action == "remove" || action == "unbind")
            events.push_back(KVDeviceEvent::Removal);
    }
    return events;
}
