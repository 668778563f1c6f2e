#include "device/DeviceIdentity.h"

#include "core/Strings.h"

#include <fmt/format.h>

namespace corvane::device {
namespace {

struct KnownDisk {
    std::string_view identifier;
    uint32_t model;
};
constexpr KnownDisk kKnownDisks[] = {
    {"USBSTOR\\DISK&VEN_KESTRAN&PROD_ZQ113_V.DISK", 0}, {"USBSTOR\\DISK&VEN_KESTRAN&PROD_QRT15_V.DISK", 1},
    {"USBSTOR\\DISK&VEN_NXP_SEMI&PROD_LPC288X", 0},     {"USBSTOR\\DISK&VEN_KPR&PROD_CORVANE_DISK", 0},
    {"USBSTOR\\DISK&VEN_CORVANE&PROD_DISK", 0},
};

// SCSI inquiry fields come blank-padded; the identifier trims them and joins words with '_'.
std::string identifierPart(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    std::string part = asciiUpper(text);
    for (char& c : part) {
        if (c == ' ')
            c = '_';
    }
    return part;
}

} // namespace

std::string diskIdentifier(std::string_view vendor, std::string_view model) {
    return "USBSTOR\\DISK&VEN_" + identifierPart(vendor) + "&PROD_" + identifierPart(model);
}

std::string hidIdentifier(uint16_t vendor, uint16_t product, unsigned interfaceNumber) {
    return fmt::format("HID\\VID_{:04X}&PID_{:04X}&MI_{:02X}", vendor, product, interfaceNumber);
}

std::optional<uint32_t> modelOfDisk(std::string_view identifier) {
    const std::string upper = asciiUpper(identifier);
    for (const KnownDisk& disk : kKnownDisks) {
        if (upper.find(disk.identifier) != std::string::npos)
            return disk.model;
    }
    return std::nullopt;
}

} // namespace corvane::device
