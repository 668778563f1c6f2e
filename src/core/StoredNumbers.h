#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Numbers in stored files are text. Every stored number is read by these, so a value reads the same in
// a layer, a condition, a label and the settings: leading blanks and one "+" are passed over, then the
// leading digits count and the rest of the text is ignored. A value too large for 32 bits reads as the
// largest one rather than as nothing.
namespace corvane {

// No digit where one is due gives nullopt; callers decide what that means (mostly 0).
std::optional<std::uint32_t> readStoredDecimal(std::string_view text);
// Hexadecimal digits of either case, without a "0x" prefix.
std::optional<std::uint32_t> readStoredHex(std::string_view text);

} // namespace corvane
