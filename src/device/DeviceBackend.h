#pragma once

#include "device/DeviceInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// An opened HID interface (a hidraw node, or a socket of the virtual keyboard). One report is one read.
class IKVReportPort {
public:
    virtual ~IKVReportPort() = default;
    // Becomes readable when reports are waiting (for poll()).
    virtual int pollFd() const = 0;
    // Reads every report that is ready, without blocking. False once the interface is gone.
    virtual bool readReports(const std::function<void(std::span<const uint8_t>)>& onReport) = 0;
};

enum class KVDeviceEvent { Arrival, Removal };

// What the device-access class needs from the platform: finding keyboards, their volume and HID
// interfaces, and hearing about arrivals and removals. KVUdevBackend drives real keyboards,
// KVVirtualKeyboardBackend a folder that plays one.
class IKVDeviceBackend {
public:
    virtual ~IKVDeviceBackend() = default;

    // Usable keyboards, in enumeration order.
    virtual std::vector<DeviceInfo> findDevices() = 0;
    // The volume's bytes per sector; 0 when the volume does not answer.
    virtual uint32_t sectorSize(const DeviceInfo& device) = 0;
    virtual bool isVolumePresent(const DeviceInfo& device) = 0;
    // Opens a HID interface for reading; empty when it cannot be opened.
    virtual std::unique_ptr<IKVReportPort> openReportPort(const std::string& path) = 0;

    // The volume as a drive the user sees. Answers whether it is shown (mounted) or hidden afterwards;
    // see the implementations for what each can honestly do.
    virtual bool mountDrive(DeviceInfo& device) = 0;
    virtual bool unmountDrive(DeviceInfo& device) = 0;

    // Hot-plug: a descriptor that becomes readable when devices come or go (-1 = none), and the events
    // waiting on it.
    virtual int monitorFd() = 0;
    virtual std::vector<KVDeviceEvent> readMonitor() = 0;
};
