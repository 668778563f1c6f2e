#pragma once

#include <string>
#include <string_view>
#include <vector>

// An XKB layout as the rules name it: "de" with the variant "nodeadkeys", written "de(nodeadkeys)".
struct KVXkbLayoutName {
    std::string layout;
    std::string variant;

    std::string text() const;
    bool operator==(const KVXkbLayoutName&) const = default;
};

namespace corvane {

// "us,de(nodeadkeys),ru": comma-separated layouts, each with an optional variant in parentheses. Blanks
// around the entries are ignored; empty or malformed entries ("", "de(", "(x)") are skipped.
std::vector<KVXkbLayoutName> parseXkbLayoutList(std::string_view text);

// Pairs the layout and variant lists of the XKB rules ("us,de" and ",nodeadkeys"): the n-th variant
// belongs to the n-th layout; missing variants are empty.
std::vector<KVXkbLayoutName> pairXkbLayouts(std::string_view layouts, std::string_view variants);

// The value of the X server's _XKB_RULES_NAMES property: rules, model, layouts, variants and options,
// each ended by a NUL (the last one may lack it).
std::vector<KVXkbLayoutName> parseXkbRulesNames(std::string_view property);

// The system's keyboard configuration (/etc/default/keyboard): shell assignments of XKBLAYOUT and
// XKBVARIANT, values optionally quoted; comments and other keys are ignored.
std::vector<KVXkbLayoutName> parseKeyboardDefaults(std::string_view content);

} // namespace corvane
