#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The modifier mask of modifier and lock conditions: 1 Alt, 2 Ctrl, 4 Shift, 8 Windows key held;
// 16 Caps Lock, 32 Kana, 64 Num Lock, 128 Scroll Lock on. Stored as letters, shown as names.
namespace corvane {

// The eight bits that have a letter and a name; other bits mean nothing to a condition.
constexpr uint32_t kModifierMaskBits = 0xFF;
// Bits 16..128: lock states rather than held keys.
constexpr uint32_t kLockMaskBits = 0xF0;

// Stored "Modifiers" text: "Main" is the empty mask; otherwise each letter of "acszlknr" adds its bit
// and any other character adds nothing, so "sc" equals "cs".
uint32_t parseModifierLetters(std::string_view text);

// The letters of the set bits in ascending bit order ("cs" for Ctrl+Shift); "Main" for the empty mask.
std::string modifierLetters(uint32_t mask);

// The names of the set bits in ascending bit order joined by "+" ("Ctrl+Shift"); "Main" for the empty
// mask. Used for condition captions and for the titles of the key-label layers.
std::string modifierDisplayText(uint32_t mask);

} // namespace corvane
