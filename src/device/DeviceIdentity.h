#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The identities by which the keyboard's parts are recognised, written as the maker's device instance
// identifiers. On Linux the identifiers are rebuilt from what udev knows (USB ids, SCSI vendor and
// model, interface number) and matched the same way, as upper-case substrings.
namespace corvane::device {

// The USB device under which the keyboard's disk and HID interfaces sit.
inline constexpr uint16_t kParentVendor = 0x05E3;
inline constexpr uint16_t kParentProduct = 0x0608;

// hidraw nodes belong to a whole interface, so the standard interface's collection suffix ("&COL01")
// has no counterpart and is left out.
inline constexpr std::string_view kStandardHidId = "HID\\VID_04D9&PID_0022&MI_01";
inline constexpr std::string_view kKeyStateHidId = "HID\\VID_8123&PID_14";

// "USBSTOR\DISK&VEN_<vendor>&PROD_<model>" with blanks as '_', upper case.
std::string diskIdentifier(std::string_view vendor, std::string_view model);
// "HID\VID_%04X&PID_%04X&MI_%02X".
std::string hidIdentifier(uint16_t vendor, uint16_t product, unsigned interfaceNumber);

// The model of a disk identifier, trying the known disks in order; empty for a disk that is not a
// keyboard's.
std::optional<uint32_t> modelOfDisk(std::string_view identifier);

} // namespace corvane::device
