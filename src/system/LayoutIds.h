#pragma once

#include "system/XkbLayoutName.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The 32-bit layout identifiers stored in conditions and used as names of the per-layout system layers.
// Like the Windows keyboard-layout handle: the low word is the Windows language identifier of the
// layout's language, the high word names the layout. So that stored configurations move between systems:
//  - a layout Windows also has gets the handle Windows gives it (us 04090409, de 04070407, us(intl)
//    F0010409, ...), from the table in LayoutIds.cpp;
//  - any other layout gets a derived identifier: the language word of its first ISO 639 language (a
//    Windows language identifier from the language table, else 0x0400 | (0x200 + FNV-1a(code) % 0x200),
//    a primary language of the user-defined range), and as high word 0x6000 + FNV-1a("layout(variant)")
//    % 0x8000. That range is never a Windows layout word (those are language identifiers below 0x6000 or
//    0xExxx / 0xFxxx), and a name always gives the same word, whatever else is installed.

// What the program knows of a language.
struct KVLanguageInfo {
    uint16_t primary;         // the primary language (low 10 bits of a Windows language identifier)
    std::string_view iso639;  // ISO 639-3 code, as the XKB registry gives it
    std::string_view abbrev;  // two letters, as the Windows abbreviated name starts
    std::string_view name;    // English name
    std::string_view locale;  // glibc locale of its main country
    std::string_view decimal; // that locale's decimal separator
    uint16_t languageId;      // identifier of the language in its main country
};

namespace corvane {

// The Windows handle of a layout that Windows also has.
std::optional<uint32_t> windowsLayoutId(const KVXkbLayoutName& name);
// The inverse, for identifiers that came from the table.
std::optional<KVXkbLayoutName> windowsLayoutName(uint32_t id);

// The identifier of `name`: the table's, else the derived one for its first language `iso639` (ISO
// 639-3; may be empty).
uint32_t layoutIdFor(const KVXkbLayoutName& name, std::string_view iso639);

// The language word for an ISO 639-3 code (see above).
uint16_t languageIdFor(std::string_view iso639);

// The language of a Windows language identifier, by its primary language; nullptr when unknown.
const KVLanguageInfo* findLanguage(uint16_t languageId);

// The glibc locale of a language identifier ("de_CH" for 0x0807, else the language's main locale) and
// its decimal separator as the table knows it; empty when the language is unknown.
std::string_view localeOfLanguage(uint16_t languageId);
std::string_view tableDecimalSeparator(uint16_t languageId);

} // namespace corvane
