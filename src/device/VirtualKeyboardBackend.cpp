#include "device/VirtualKeyboardBackend.h"

#include "core/Log.h"
#include "device/SocketReportPort.h"
#include "device/VirtualKeyboard.h"

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

using namespace corvane::device;

KVVirtualKeyboardBackend::KVVirtualKeyboardBackend(std::filesystem::path folder)
    : m_folder(std::filesystem::absolute(std::move(folder))) {}

KVVirtualKeyboardBackend::~KVVirtualKeyboardBackend() {
    if (m_inotify >= 0)
        close(m_inotify);
}

std::vector<DeviceInfo> KVVirtualKeyboardBackend::findDevices() {
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_folder / virtualkbd::kVersionFile, error))
        return {};
    DeviceInfo device;
    device.volumeName = m_folder.string() + "/";
    device.firstHidPath = (m_folder / virtualkbd::kStandardSocket).string();
    device.secondHidPath = (m_folder / virtualkbd::kKeyStateSocket).string();
    device.model = virtualkbd::virtualKeyboardModel(m_folder);
    return {device};
}

uint32_t KVVirtualKeyboardBackend::sectorSize(const DeviceInfo& device) {
    return isVolumePresent(device) ? virtualkbd::kSectorSize : 0;
}

bool KVVirtualKeyboardBackend::isVolumePresent(const DeviceInfo&) {
    std::error_code error;
    return std::filesystem::is_regular_file(m_folder / virtualkbd::kVersionFile, error);
}

std::unique_ptr<IKVReportPort> KVVirtualKeyboardBackend::openReportPort(const std::string& path) {
    return KVSocketReportPort::listen(path);
}

bool KVVirtualKeyboardBackend::mountDrive(DeviceInfo&) {
    return true;
}

bool KVVirtualKeyboardBackend::unmountDrive(DeviceInfo&) {
    return false;
}

void KVVirtualKeyboardBackend::watchFolders() {
    constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                  IN_MOVE_SELF | IN_CLOSE_WRITE; // a version file written after its creation
    // Both levels, and the folder's parent: the folder may be created, emptied or removed while we run.
    // A missing one is watched again after the next change.
    inotify_add_watch(m_inotify, m_folder.parent_path().c_str(), IN_CREATE | IN_MOVED_TO);
    inotify_add_watch(m_inotify, m_folder.c_str(), kChanges);
    inotify_add_watch(m_inotify, (m_folder / "vTavirex").c_str(), kChanges);
}

int KVVirtualKeyboardBackend::monitorFd() {
    if (m_inotify < 0) {
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify < 0) {
            corvane::logger("device").warn("virtual keyboard: no change notifications for {}",
                                           m_folder.string());
            return -1;
        }
        watchFolders();
    }
    return m_inotify;
}

std::vector<KVDeviceEvent> KVVirtualKeyboardBackend::readMonitor() {
    if (m_inotify < 0)
        return {};
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    while (read(m_inotify, buffer, sizeof buffer) > 0)
        changed = true;
    if (!changed)
        return {};
    watchFolders();
    // The owner tells arrival from removal by looking at the folder; both are offered.
    return {KVDeviceEvent::Arrival, KVDeviceEvent::Removal};
}
