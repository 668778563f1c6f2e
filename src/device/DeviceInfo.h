#pragma once

#include "device/KeyTables.h"

#include <cstdint>
#include <string>

// One keyboard found by a device backend.
struct DeviceInfo {
    // The folder that holds the keyboard's files, ending in '/' (the volume's mount point, or the
    // virtual keyboard's folder). Every path of the file set is formed below it.
    std::string volumeName;
    // The volume's block device node ("/dev/sdb1"); empty for the virtual keyboard.
    std::string volumePath;
    // The standard HID interface (key signatures) and the key-state interface.
    std::string firstHidPath;
    std::string secondHidPath;
    uint32_t model = KeyboardModelUnknown;

    bool isUsable() const { return !volumeName.empty() && !firstHidPath.empty(); }
};
