#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The keyboard models and their key tables. The key index (the row number) is the key number used by
// bindings, messages, the editor and the keyboard files, and on the main keyboard also the bit number of
// the key in the key-state report.

struct KeyDescriptor {
    uint32_t virtualKey;    // the Windows code of the key, kept for stored configurations; 0 for L1...L10
    uint8_t scanCode;       // set-1 scan code
    uint8_t display;        // 1-based; the key's image file is "vTavirex/dynamic/%03d.sys"
    uint8_t slot;           // 1-based; the key's 64-byte record in "vTavirex/scancode.sys"
    uint8_t keyCode;        // what the key sends by default (0 = nothing)
    std::string_view name;  // unique within a model, usable on a command line
    std::string_view label; // the short caption
};

struct ModelDescriptor {
    uint32_t keyCount;
    uint32_t displayCount;
    std::span<const KeyDescriptor> keys;
    // Displays mounted turned by 90 degrees; 0 = none.
    uint8_t turnedDisplays[2];

    bool isTurned(unsigned display) const {
        return display != 0 && (display == turnedDisplays[0] || display == turnedDisplays[1]);
    }
};

enum KeyboardModel : uint32_t {
    KeyboardModelMain = 0,
    KeyboardModelKeypad = 1,
    KeyboardModelUnknown = 2,
};

namespace corvane::device {

inline constexpr unsigned kMainKeyCount = 113;
inline constexpr unsigned kMainDisplayCount = 114;
inline constexpr unsigned kKeypadKeyCount = 15;
// Display 7 of the main keyboard belongs to no key; its file exists all the same.
inline constexpr unsigned kMainUnusedDisplay = 7;

// Model 2 (and any other number) describes no keys.
const ModelDescriptor& modelDescriptor(uint32_t model);

// Finds a key of `model` by its name, ignoring ASCII case ("escape", "F1", "KeypadEnter", "A7").
std::optional<unsigned> findKeyByName(uint32_t model, std::string_view name);

// A key named on a command line: a key name first (so "5" is the digit key 5), else "#N" or a plain
// number N taken as the key index. Empty when neither names a key of the model.
std::optional<unsigned> keyFromArgument(uint32_t model, std::string_view text);

// The key whose image goes to `display`, if any.
std::optional<unsigned> keyForDisplay(uint32_t model, unsigned display);

} // namespace corvane::device
