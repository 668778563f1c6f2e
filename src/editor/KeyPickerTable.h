#pragma once

#include "editor/KeyboardPicture.h"

#include <cstdint>
#include <string_view>
#include <vector>

// The key picker's keys: the main keyboard's 113 keys, with left Shift drawn as two keys, left Shift and
// the extra key beside it that keyboards for many countries have ("\", HID usage 0x64), which the main
// keyboard's left Shift covers.
namespace corvane::editor {

inline constexpr unsigned kPickerKeyCount = 114;

struct KVPickerKey {
    uint32_t virtualKey;        // the Windows code of the key
    uint8_t scanCode;           // set-1 scan code
    uint8_t usage;              // what the keyboard sends for it (HID usage, or the firmware's own code)
    std::string_view name;      // "ShiftLeft", "F1"
    std::string_view shortName; // the caption drawn on the key
    KVKeyOnDrawing place;
};

// In picker order: main keys 0...81, left Shift, the extra key, then main keys 83...112.
const std::vector<KVPickerKey>& pickerKeys();
KVDrawnKeys pickerDrawnKeys();

} // namespace corvane::editor
