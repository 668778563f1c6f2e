#include "update/FirmwareImage.h"

#include "device/FirmwareVersion.h"

#include <algorithm>
#include <cstring>

namespace corvane::update {

namespace {

uint32_t readLittleEndian32(std::span<const uint8_t> bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

void writeLittleEndian32(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

} // namespace

uint32_t firmwareChecksum(std::span<const uint8_t> payload) {
    uint32_t sum = 0;
    for (uint8_t b : payload)
        sum += 255u - b;
    return sum;
}

FirmwareImageProblem checkFirmwareImage(std::span<const uint8_t> image) {
    if (image.size() <= kFirmwarePayloadOffset)
        return FirmwareImageProblem::TooShort;
    if (std::memcmp(image.data(), kFirmwareImageMagic.data(), kFirmwareImageMagic.size()) != 0)
        return FirmwareImageProblem::WrongHeader;
    const uint64_t length = readLittleEndian32(image, kFirmwareLengthOffset);
    if (kFirmwarePayloadOffset + length > image.size())
        return FirmwareImageProblem::PayloadOutside;
    if (firmwareChecksum(image.subspan(kFirmwarePayloadOffset, size_t(length))) !=
        readLittleEndian32(image, kFirmwareChecksumOffset))
        return FirmwareImageProblem::WrongChecksum;
    if (image.size() != corvane::device::kFirmwareImageSize)
        return FirmwareImageProblem::WrongSize;
    return FirmwareImageProblem::None;
}

std::string_view describe(FirmwareImageProblem problem) {
    switch (problem) {
    case FirmwareImageProblem::None:
        return "a valid firmware image";
    case FirmwareImageProblem::TooShort:
        return "too short to hold a firmware header";
    case FirmwareImageProblem::WrongHeader:
        return "not a firmware image of this keyboard (wrong header)";
    case FirmwareImageProblem::PayloadOutside:
        return "its header claims more data than the file holds";
    case FirmwareImageProblem::WrongChecksum:
        return "its checksum does not match (damaged or altered)";
    case FirmwareImageProblem::WrongSize:
        return "not of the size the keyboard takes (655360 bytes)";
    }
    return "unknown";
}

std::vector<uint8_t> buildFirmwareImage(std::span<const uint8_t> payload, size_t size) {
    std::vector<uint8_t> image(std::max(size, kFirmwarePayloadOffset + payload.size()), 0);
    std::memcpy(image.data(), kFirmwareImageMagic.data(), kFirmwareImageMagic.size());
    writeLittleEndian32(image, kFirmwareLengthOffset, uint32_t(payload.size()));
    writeLittleEndian32(image, kFirmwareChecksumOffset, firmwareChecksum(payload));
    std::copy(payload.begin(), payload.end(), image.begin() + kFirmwarePayloadOffset);
    return image;
}

} // namespace corvane::update
