#pragma once

#include "system/XkbLayoutName.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The captions that one keyboard layout puts on the character keys, one layer per shift state that
// looks different, plus the Num Lock layer. Plain data: the system layers turn each into a KVLayer.
struct KVLabelLayer {
    static constexpr std::size_t kKeyCount = 113;

    // The shift state (modifier mask); the Num Lock layer has 64.
    uint32_t mask = 0;
    // Abbreviation, "-", the mask's letters ("EN-Main", "DE-ac", "EN-n").
    std::string identifier;
    // The mask's display text ("Main", "Alt+Ctrl", "Shift+Caps", "Num").
    std::string title;
    // What each key of the main key table types; empty: no caption.
    std::array<std::string, kKeyCount> labels;
    // The masks of the layer's modifier and lock conditions, when it has them.
    std::optional<uint32_t> modifierCondition;
    std::optional<uint32_t> lockCondition;
};

namespace corvane {

// The shift states tried, in order: no Alt, Ctrl or Windows key, except Ctrl+Alt (AltGr) itself.
inline constexpr std::array<uint32_t, 9> kLabelMasks{0, 3, 4, 16, 20, 32, 36, 48, 52};

// Whether a key of the main key table is a character key (digits, letters, punctuation, space).
bool isCharacterKey(std::size_t keyIndex);
// What a caption's binding carries: as the code the key sends, the key's own code (a caption changes
// what a key shows, never what it types), and, below set-1 scan code 94, its HID usage as its action
// code (for the keys that can carry a caption: the character keys and the keypad keys).
uint8_t labelKeyCode(std::size_t keyIndex);
uint8_t labelActionCode(std::size_t keyIndex);
// Index of the keypad's decimal key, which the Num Lock layer labels.
std::size_t keypadDecimalKey();

// The layers of a layout, in the order they go into its group: the shift states that type something
// and would not show right through the layers of the states before them, the state with more bits first
// (Shift+Caps, then Alt+Ctrl, Caps, Shift, Main); then the Num Lock layer (always). A layout that XKB
// cannot compile gives the Num Lock layer alone.
std::vector<KVLabelLayer> layoutLabelLayers(const KVXkbLayoutName& layout, std::string_view abbreviation,
                                            std::string_view decimalSeparator);

// The text a dead key shows: its spacing accent ("^" for dead_circumflex); empty for other keysyms.
std::string deadKeyCaption(uint32_t keysym);

} // namespace corvane
