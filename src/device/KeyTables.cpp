#include "device/KeyTables.h"

#include "core/Strings.h"

#include <array>
#include <charconv>

namespace corvane::device {
namespace {

// Main keyboard: virtual key, set-1 scan code, display, slot, key code, name, label. The eight modifier
// keys send 0x72...0x79 rather than their HID usages; the firmware knows them by these codes.
constexpr std::array<KeyDescriptor, kMainKeyCount> kMainKeys{{
    {0x1B, 0x01, 99, 8, 0x29, "Escape", "Esc"},           // 0
    {0x70, 0x3B, 100, 16, 0x3A, "F1", "F1"},              // 1
    {0x71, 0x3C, 101, 24, 0x3B, "F2", "F2"},              // 2
    {0x72, 0x3D, 102, 32, 0x3C, "F3", "F3"},              // 3
    {0x73, 0x3E, 103, 40, 0x3D, "F4", "F4"},              // 4
    {0x74, 0x3F, 104, 48, 0x3E, "F5", "F5"},              // 5
    {0x75, 0x40, 105, 56, 0x3F, "F6", "F6"},              // 6
    {0x76, 0x41, 106, 64, 0x40, "F7", "F7"},              // 7
    {0x77, 0x42, 107, 72, 0x41, "F8", "F8"},              // 8
    {0x78, 0x43, 108, 80, 0x42, "F9", "F9"},              // 9
    {0x79, 0x44, 109, 88, 0x43, "F10", "F10"},            // 10
    {0x7A, 0x57, 110, 96, 0x44, "F11", "F11"},            // 11
    {0x7B, 0x58, 111, 104, 0x45, "F12", "F12"},           // 12
    {0x2C, 0x54, 112, 2, 0x46, "PrintScreen", "PrtScr"},  // 13
    {0x91, 0x46, 113, 10, 0x47, "ScrollLock", "Scroll"},  // 14
    {0x13, 0x59, 114, 18, 0x48, "Pause", "Pause"},        // 15
    {0x00, 0x00, 97, 7, 0x00, "L1", "L1"},                // 16
    {0x00, 0x00, 98, 47, 0x00, "L2", "L2"},               // 17
    {0xC0, 0x29, 88, 6, 0x35, "GraveAccent", "`"},        // 18
    {0x31, 0x02, 87, 14, 0x1E, "1", "1"},                 // 19
    {0x32, 0x03, 74, 22, 0x1F, "2", "2"},                 // 20
    {0x33, 0x04, 73, 30, 0x20, "3", "3"},                 // 21
    {0x34, 0x05, 72, 38, 0x21, "4", "4"},                 // 22
    {0x35, 0x06, 71, 46, 0x22, "5", "5"},                 // 23
    {0x36, 0x07, 58, 54, 0x23, "6", "6"},                 // 24
    {0x37, 0x08, 57, 62, 0x24, "7", "7"},                 // 25
    {0x38, 0x09, 56, 70, 0x25, "8", "8"},                 // 26
    {0x39, 0x0A, 55, 78, 0x26, "9", "9"},                 // 27
    {0x30, 0x0B, 42, 86, 0x27, "0", "0"},                 // 28
    {0xBD, 0x0C, 41, 94, 0x2D, "Minus", "-"},             // 29
    {0xBB, 0x0D, 40, 102, 0x2E, "Plus", "+"},             // 30
    {0x08, 0x0E, 39, 110, 0x2A, "Backspace", "Back"},     // 31
    {0x2D, 0x52, 21, 26, 0x49, "Insert", "Ins"},          // 32
    {0x24, 0x47, 20, 34, 0x4A, "Home", "Home"},           // 33
    {0x21, 0x49, 19, 42, 0x4B, "PageUp", "PgUp"},         // 34
    {0x90, 0x45, 18, 1, 0x53, "NumLock", "Num"},          // 35
    {0x6F, 0x35, 17, 9, 0x54, "KeypadDivide", "/"},       // 36
    {0x6A, 0x37, 16, 17, 0x55, "KeypadMultiply", "*"},    // 37
    {0x6D, 0x4A, 15, 25, 0x56, "KeypadMinus", "-"},       // 38
    {0x00, 0x00, 96, 15, 0x00, "L3", "L3"},               // 39
    {0x00, 0x00, 89, 55, 0x00, "L4", "L4"},               // 40
    {0x09, 0x0F, 85, 5, 0x2B, "Tab", "Tab"},              // 41
    {0x51, 0x10, 86, 13, 0x14, "Q", "Q"},                 // 42
    {0x57, 0x11, 75, 21, 0x1A, "W", "W"},                 // 43
    {0x45, 0x12, 69, 29, 0x08, "E", "E"},                 // 44
    {0x52, 0x13, 70, 37, 0x15, "R", "R"},                 // 45
    {0x54, 0x14, 59, 45, 0x17, "T", "T"},                 // 46
    {0x59, 0x15, 60, 53, 0x1C, "Y", "Y"},                 // 47
    {0x55, 0x16, 54, 61, 0x18, "U", "U"},                 // 48
    {0x49, 0x17, 53, 69, 0x0C, "I", "I"},                 // 49
    {0x4F, 0x18, 43, 77, 0x12, "O", "O"},                 // 50
    {0x50, 0x19, 44, 85, 0x13, "P", "P"},                 // 51
    {0xDB, 0x1A, 38, 93, 0x2F, "BraceSquareLeft", "["},   // 52
    {0xDD, 0x1B, 37, 101, 0x30, "BraceSquareRight", "]"}, // 53
    {0xDC, 0x2B, 36, 109, 0x31, "StraightSlash", "\\"},   // 54
    {0x2E, 0x53, 22, 50, 0x4C, "Delete", "Del"},          // 55
    {0x23, 0x4F, 23, 58, 0x4D, "End", "End"},             // 56
    {0x22, 0x51, 24, 66, 0x4E, "PageDown", "PgDn"},       // 57
    {0x67, 0x47, 11, 33, 0x5F, "Keypad7", "7"},           // 58
    {0x68, 0x48, 12, 41, 0x60, "Keypad8", "8"},           // 59
    {0x69, 0x49, 13, 49, 0x61, "Keypad9", "9"},           // 60
    {0x00, 0x00, 95, 23, 0x00, "L5", "L5"},               // 61
    {0x00, 0x00, 90, 63, 0x00, "L6", "L6"},               // 62
    {0x14, 0x3A, 84, 4, 0x39, "CapsLock", "Caps"},        // 63
    {0x41, 0x1E, 83, 12, 0x04, "A", "A"},                 // 64
    {0x53, 0x1F, 76, 20, 0x16, "S", "S"},                 // 65
    {0x44, 0x20, 68, 28, 0x07, "D", "D"},                 // 66
    {0x46, 0x21, 67, 36, 0x09, "F", "F"},                 // 67
    {0x47, 0x22, 62, 44, 0x0A, "G", "G"},                 // 68
    {0x48, 0x23, 61, 52, 0x0B, "H", "H"},                 // 69
    {0x4A, 0x24, 51, 60, 0x0D, "J", "J"},                 // 70
    {0x4B, 0x25, 52, 68, 0x0E, "K", "K"},                 // 71
    {0x4C, 0x26, 46, 76, 0x0F, "L", "L"},                 // 72
    {0xBA, 0x27, 45, 84, 0x33, "Semicolon", ";"},         // 73
    {0xDE, 0x28, 34, 92, 0x34, "Quote", "\""},            // 74
    {0x0D, 0x1C, 35, 100, 0x28, "Return", "Enter"},       // 75
    {0x64, 0x4B, 10, 65, 0x5C, "Keypad4", "4"},           // 76
    {0x65, 0x4C, 9, 73, 0x5D, "Keypad5", "5"},            // 77
    {0x66, 0x4D, 8, 81, 0x5E, "Keypad6", "6"},            // 78
    {0x6B, 0x4E, 14, 57, 0x57, "KeypadPlus", "+"},        // 79
    {0x00, 0x00, 94, 31, 0x00, "L7", "L7"},               // 80
    {0x00, 0x00, 91, 71, 0x00, "L8", "L8"},               // 81
    {0xA0, 0x2A, 82, 3, 0x73, "ShiftLeft", "Shift"},      // 82
    {0x5A, 0x2C, 77, 11, 0x1D, "Z", "Z"},                 // 83
    {0x58, 0x2D, 66, 19, 0x1B, "X", "X"},                 // 84
    {0x43, 0x2E, 65, 27, 0x06, "C", "C"},                 // 85
    {0x56, 0x2F, 63, 35, 0x19, "V", "V"},                 // 86
    {0x42, 0x30, 64, 43, 0x05, "B", "B"},                 // 87
    {0x4E, 0x31, 50, 51, 0x11, "N", "N"},                 // 88
    {0x4D, 0x32, 49, 59, 0x10, "M", "M"},                 // 89
    {0xBC, 0x33, 48, 67, 0x36, "Comma", ","},             // 90
    {0xBE, 0x34, 47, 75, 0x37, "Dot", "."},               // 91
    {0xBF, 0x35, 33, 83, 0x38, "Slash", "/"},             // 92
    {0xA1, 0x36, 30, 91, 0x77, "ShiftRight", "Shift"},    // 93
    {0x26, 0x48, 27, 74, 0x52, "UpArrow", "Up"},          // 94
    {0x61, 0x4F, 6, 97, 0x59, "Keypad1", "1"},            // 95
    {0x62, 0x50, 5, 105, 0x5A, "Keypad2", "2"},           // 96
    {0x63, 0x51, 4, 113, 0x5B, "Keypad3", "3"},           // 97
    {0x00, 0x00, 93, 39, 0x00, "L9", "L9"},               // 98
    {0x00, 0x00, 92, 79, 0x00, "L10", "L10"},             // 99
    {0xA2, 0x1D, 81, 87, 0x72, "CtrlLeft", "Ctrl"},       // 100
    {0x5B, 0x5B, 80, 95, 0x75, "CmdLeft", "Win"},         // 101
    {0xA4, 0x38, 79, 103, 0x74, "AltLeft", "Alt"},        // 102
    {0x20, 0x39, 78, 111, 0x2C, "Spacebar", "Space"},     // 103
    {0xA5, 0x38, 32, 119, 0x78, "AltRight", "AltGr"},     // 104
    {0x5D, 0x5D, 31, 127, 0x65, "CmdRight", "Apps"},      // 105
    {0xA3, 0x1D, 29, 135, 0x76, "CtrlRight", "Ctrl"},     // 106
    {0x25, 0x4B, 28, 82, 0x50, "LeftArrow", "Left"},      // 107
    {0x28, 0x50, 26, 90, 0x51, "DownArrow", "Down"},      // 108
    {0x27, 0x4D, 25, 98, 0x4F, "RightArrow", "Right"},    // 109
    {0x60, 0x52, 1, 121, 0x62, "Keypad0", "0"},           // 110
    {0x6E, 0x53, 2, 129, 0x63, "KeypadDot", "."},         // 111
    {0x0D, 0x1C, 3, 137, 0x58, "KeypadEnter", "Enter"},   // 112
}};

// Auxiliary keypad: its keys send nothing by default; name and label are equal.
constexpr std::array<KeyDescriptor, kKeypadKeyCount> kKeypadKeys{{
    {0, 0, 1, 8, 0, "A1", "A1"},
    {0, 0, 6, 7, 0, "A2", "A2"},
    {0, 0, 11, 6, 0, "A3", "A3"},
    {0, 0, 2, 16, 0, "A4", "A4"},
    {0, 0, 7, 15, 0, "A5", "A5"},
    {0, 0, 12, 14, 0, "A6", "A6"},
    {0, 0, 3, 24, 0, "A7", "A7"},
    {0, 0, 8, 23, 0, "A8", "A8"},
    {0, 0, 13, 22, 0, "A9", "A9"},
    {0, 0, 4, 32, 0, "A10", "A10"},
    {0, 0, 9, 31, 0, "A11", "A11"},
    {0, 0, 14, 30, 0, "A12", "A12"},
    {0, 0, 5, 40, 0, "A13", "A13"},
    {0, 0, 10, 39, 0, "A14", "A14"},
    {0, 0, 15, 38, 0, "A15", "A15"},
}};

constexpr ModelDescriptor kModels[] = {
    {kMainKeyCount, kMainDisplayCount, kMainKeys, {3, 14}},
    {kKeypadKeyCount, kKeypadKeyCount, kKeypadKeys, {0, 0}},
    {0, 0, {}, {0, 0}},
};

} // namespace

const ModelDescriptor& modelDescriptor(uint32_t model) {
    return model < KeyboardModelUnknown ? kModels[model] : kModels[KeyboardModelUnknown];
}

std::optional<unsigned> findKeyByName(uint32_t model, std::string_view name) {
    const auto keys = modelDescriptor(model).keys;
    for (unsigned i = 0; i < keys.size(); ++i) {
        if (iequals(keys[i].name, name))
            return i;
    }
    return std::nullopt;
}

std::optional<unsigned> keyFromArgument(uint32_t model, std::string_view text) {
    if (auto byName = findKeyByName(model, text))
        return byName;
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    unsigned index = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (index >= modelDescriptor(model).keyCount)
        return std::nullopt;
    return index;
}

std::optional<unsigned> keyForDisplay(uint32_t model, unsigned display) {
    const auto keys = modelDescriptor(model).keys;
    for (unsigned i = 0; i < keys.size(); ++i) {
        if (keys[i].display == display)
            return i;
    }
    return std::nullopt;
}

} // namespace corvane::device
