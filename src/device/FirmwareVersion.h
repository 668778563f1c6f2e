#pragma once

#include <string_view>

// The firmware identities that change how the keyboard is driven. The version text of
// "vTavirex/version.sys" is compared whole and ordinally (code unit by code unit).
namespace corvane::device {

inline constexpr std::string_view kVersionWithKeyCodeTable = "TavirexV0.62b";
inline constexpr std::string_view kVersionWithoutTablePause = "TavirexV0.76b";
inline constexpr size_t kFirmwareImageSize = 655360; // 0xA0000

// The key-code table on the keyboard can be read back (version >= "TavirexV0.62b").
bool readsKeyCodeTable(std::string_view version);
// The firmware needs 300 ms after each key-code table write (version < "TavirexV0.76b").
bool pausesAfterKeyCodeTable(std::string_view version);

} // namespace corvane::device
