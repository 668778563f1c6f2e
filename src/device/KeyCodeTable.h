#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The key-code table ("vTavirex/scancode.sys"): 144 records of 64 bytes, record number = slot - 1. A
// record is a run of (operation, code) byte pairs filled up with 0xFF; 64 x 0xFF sends nothing.
namespace corvane::device {

inline constexpr size_t kRecordSize = 64;
inline constexpr size_t kRecordCount = 144;
inline constexpr size_t kKeyCodeTableSize = kRecordSize * kRecordCount; // 9216
inline constexpr uint8_t kRecordFill = 0xFF;

enum class RecordOp : uint8_t {
    SendKey = 1, // the key sends the code as its own
    Press = 2,   // press and release of a code; only used in pairs by key signatures
    Release = 4,
};

// The signature that lets a key report its own index through the standard HID interface: a marker code
// and two base-11 digits, least significant first.
inline constexpr uint8_t kSignatureMarker = 0x7A;
inline constexpr std::array<uint8_t, 11> kSignatureDigitCodes{0x7E, 0x7F, 0x81, 0x83, 0x86, 0x87,
                                                              0x88, 0x89, 0x8A, 0x8B, 0x8C};

using KeyRecord = std::array<uint8_t, kRecordSize>;
using KeyCodeTable = std::array<uint8_t, kKeyCodeTableSize>;

// {1, code, 0xFF...}; an empty record for code 0.
KeyRecord keyCodeRecord(uint8_t code);

// 02 7A 04 7A 02 d1 04 d1 02 d2 04 d2, then 0xFF: d1 the digit code of (key mod 11), d2 of
// ((key div 11) mod 11).
KeyRecord keySignatureRecord(unsigned key);

// The record of `slot` (1-based) inside a whole table; empty for a slot outside it.
std::span<uint8_t> tableRecord(std::span<uint8_t, kKeyCodeTableSize> table, unsigned slot);
std::span<const uint8_t> tableRecord(std::span<const uint8_t, kKeyCodeTableSize> table, unsigned slot);

// Writes `record` into the table at `slot`; false for a slot outside the table.
bool setTableRecord(std::span<uint8_t, kKeyCodeTableSize> table, unsigned slot, const KeyRecord& record);

} // namespace corvane::device
