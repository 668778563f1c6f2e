#include "conditions/ModifierMask.h"

#include <array>

namespace corvane {
namespace {

struct ModifierKey {
    uint32_t bit;
    char letter;
    std::string_view name;
};

// In ascending bit order, which is also the order of letters and names in the texts.
constexpr std::array<ModifierKey, 8> kModifierKeys{{
    {1, 'a', "Alt"},
    {2, 'c', "Ctrl"},
    {4, 's', "Shift"},
    {8, 'z', "Win"},
    {16, 'l', "Caps"},
    {32, 'k', "Kana"},
    {64, 'n', "Num"},
    {128, 'r', "Scroll"},
}};

constexpr std::string_view kEmptyMaskText = "Main";

} // namespace

uint32_t parseModifierLetters(std::string_view text) {
    // "Main" must be recognised whole: read letter by letter it would give Alt+Num.
    if (text == kEmptyMaskText)
        return 0;
    uint32_t mask = 0;
    for (char c : text)
        for (const auto& key : kModifierKeys)
            if (key.letter == c)
                mask |= key.bit;
    return mask;
}

std::string modifierLetters(uint32_t mask) {
    std::string letters;
    for (const auto& key : kModifierKeys)
        if (mask & key.bit)
            letters += key.letter;
    return letters.empty() ? std::string(kEmptyMaskText) : letters;
}

std::string modifierDisplayText(uint32_t mask) {
    std::string text;
    for (const auto& key : kModifierKeys) {
        if (!(mask & key.bit))
            continue;
        if (!text.empty())
            text += '+';
        text += key.name;
    }
    return text.empty() ? std::string(kEmptyMaskText) : text;
}

} // namespace corvane
