#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// A firmware image as the keyboard takes it:
//
//   bytes 0..5     "ZQ113_"
//   bytes 12..15   payload length L, unsigned 32-bit little-endian
//   bytes 16..19   checksum C, unsigned 32-bit little-endian: the sum, modulo 2^32, of (255 - b)
//                  over the payload bytes b
//   bytes 20..     the payload, L bytes, inside the file
//
// The keyboard's "vTavirex/upgrade.bin" holds the whole image, header included, and exactly
// corvane::device::kFirmwareImageSize bytes.
namespace corvane::update {

enum class FirmwareImageProblem {
    None,
    TooShort,
    WrongHeader,
    PayloadOutside,
    WrongChecksum,
    WrongSize,
};

inline constexpr std::string_view kFirmwareImageMagic = "ZQ113_";
inline constexpr size_t kFirmwareLengthOffset = 12;
inline constexpr size_t kFirmwareChecksumOffset = 16;
inline constexpr size_t kFirmwarePayloadOffset = 20;

uint32_t firmwareChecksum(std::span<const uint8_t> payload);

// Checks the header, the payload's place and its checksum, then the size the keyboard takes.
FirmwareImageProblem checkFirmwareImage(std::span<const uint8_t> image);

std::string_view describe(FirmwareImageProblem problem);

// An image of `size` bytes (at least the header) around `payload`, zero-filled after it; for packagers'
// tests and the test keyboard.
std::vector<uint8_t> buildFirmwareImage(std::span<const uint8_t> payload, size_t size);

} // namespace corvane::update
