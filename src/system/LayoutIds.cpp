#include "system/LayoutIds.h"

#include <array>

namespace corvane {
namespace {

struct WindowsLayout {
    std::string_view layout;
    std::string_view variant;
    uint32_t id;
};

// XKB layouts and the handles Windows gives the same keyboard. Variant handles carry 0xF000 plus the
// "Layout Id" of the Windows layout in the high word. First entry per identifier wins for the way back.
constexpr std::array<WindowsLayout, 39> kWindowsLayouts{{
    {"us", "", 0x04090409},         {"us", "intl", 0xF0010409},     {"us", "dvorak", 0xF0020409},
    {"us", "dvorak-l", 0xF01A0409}, {"us", "dvorak-r", 0xF01B0409}, {"gb", "", 0x08090809},
    {"de", "", 0x04070407},         {"at", "", 0x04070C07},         {"ch", "", 0x08070807},
    {"ch", "de", 0x08070807},       {"ch", "fr", 0x100C100C},       {"fr", "", 0x040C040C},
    {"fr", "azerty", 0x040C040C},   {"be", "", 0x080C080C},         {"es", "", 0x040A0C0A},
    {"latam", "", 0x080A080A},      {"it", "", 0x04100410},         {"pt", "", 0x08160816},
    {"br", "", 0x04160416},         {"ru", "", 0x04190419},         {"ru", "typewriter", 0xF0080419},
    {"ua", "", 0x04220422},         {"pl", "", 0x04150415},         {"cz", "", 0x04050405},
    {"sk", "", 0x041B041B},         {"hu", "", 0x040E040E},         {"se", "", 0x041D041D},
    {"no", "", 0x04140414},         {"dk", "", 0x04060406},         {"fi", "", 0x040B040B},
    {"nl", "", 0x04130413},         {"tr", "", 0x041F041F},         {"gr", "", 0x04080408},
    {"il", "", 0x040D040D},         {"jp", "", 0x04110411},         {"kr", "", 0x04120412},
    {"bg", "", 0x04020402},         {"ro", "", 0x04180418},         {"hr", "", 0x041A041A},
}};

// Languages by primary language; the abbreviation is where the Windows abbreviated name starts
// (Japanese "JPN", Korean "KOR"), so identifiers of stored layers match those made on Windows.
constexpr std::array<KVLanguageInfo, 31> kLanguages{{
    {0x01, "ara", "AR", "Arabic", "ar_SA", ".", 0x0401},
    {0x02, "bul", "BG", "Bulgarian", "bg_BG", ",", 0x0402},
    {0x05, "ces", "CS", "Czech", "cs_CZ", ",", 0x0405},
    {0x06, "dan", "DA", "Danish", "da_DK", ",", 0x0406},
    {0x07, "deu", "DE", "German", "de_DE", ",", 0x0407},
    {0x08, "ell", "EL", "Greek", "el_GR", ",", 0x0408},
    {0x09, "eng", "EN", "English", "en_US", ".", 0x0409},
    {0x0A, "spa", "ES", "Spanish", "es_ES", ",", 0x0C0A},
    {0x0B, "fin", "FI", "Finnish", "fi_FI", ",", 0x040B},
    {0x0C, "fra", "FR", "French", "fr_FR", ",", 0x040C},
    {0x0D, "heb", "HE", "Hebrew", "he_IL", ".", 0x040D},
    {0x0E, "hun", "HU", "Hungarian", "hu_HU", ",", 0x040E},
    {0x0F, "isl", "IS", "Icelandic", "is_IS", ",", 0x040F},
    {0x10, "ita", "IT", "Italian", "it_IT", ",", 0x0410},
    {0x11, "jpn", "JP", "Japanese", "ja_JP", ".", 0x0411},
    {0x12, "kor", "KO", "Korean", "ko_KR", ".", 0x0412},
    {0x13, "nld", "NL", "Dutch", "nl_NL", ",", 0x0413},
    {0x14, "nor", "NO", "Norwegian", "nb_NO", ",", 0x0414},
    {0x15, "pol", "PL", "Polish", "pl_PL", ",", 0x0415},
    {0x16, "por", "PT", "Portuguese", "pt_PT", ",", 0x0816},
    {0x18, "ron", "RO", "Romanian", "ro_RO", ",", 0x0418},
    {0x19, "rus", "RU", "Russian", "ru_RU", ",", 0x0419},
    {0x1A, "hrv", "HR", "Croatian", "hr_HR", ",", 0x041A},
    {0x1B, "slk", "SK", "Slovak", "sk_SK", ",", 0x041B},
    {0x1D, "swe", "SV", "Swedish", "sv_SE", ",", 0x041D},
    {0x1F, "tur", "TR", "Turkish", "tr_TR", ",", 0x041F},
    {0x22, "ukr", "UK", "Ukrainian", "uk_UA", ",", 0x0422},
    {0x24, "slv", "SL", "Slovenian", "sl_SI", ",", 0x0424},
    {0x25, "est", "ET", "Estonian", "et_EE", ",", 0x0425},
    {0x26, "lav", "LV", "Latvian", "lv_LV", ",", 0x0426},
    {0x27, "lit", "LT", "Lithuanian", "lt_LT", ",", 0x0427},
}};

// Countries whose locale differs from the language's main one in what the keys show.
struct RegionalLocale {
    uint16_t languageId;
    std::string_view locale;
    std::string_view decimal;
};
constexpr std::array<RegionalLocale, 8> kRegionalLocales{{
    {0x0809, "en_GB", "."},
    {0x0807, "de_CH", "."},
    {0x0C07, "de_AT", ","},
    {0x080C, "fr_BE", ","},
    {0x100C, "fr_CH", "."},
    {0x080A, "es_MX", "."},
    {0x0416, "pt_BR", ","},
    {0x0813, "nl_BE", ","},
}};

// ISO 639-2 bibliographic codes that some registries still carry beside the ISO 639-3 ones.
struct CodeAlias {
    std::string_view alias;
    std::string_view code;
};
constexpr std::array<CodeAlias, 8> kCodeAliases{{
    {"ger", "deu"},
    {"fre", "fra"},
    {"cze", "ces"},
    {"dut", "nld"},
    {"gre", "ell"},
    {"rum", "ron"},
    {"slo", "slk"},
    {"nob", "nor"},
}};

constexpr uint32_t fnv1a(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

const KVLanguageInfo* findIso639(std::string_view code) {
    for (const auto& alias : kCodeAliases)
        if (alias.alias == code)
            code = alias.code;
    for (const auto& language : kLanguages)
        if (language.iso639 == code)
            return &language;
    return nullptr;
}

} // namespace

std::optional<uint32_t> windowsLayoutId(const KVXkbLayoutName& name) {
    for (const auto& entry : kWindowsLayouts)
        if (entry.layout == name.layout && entry.variant == name.variant)
            return entry.id;
    return std::nullopt;
}

std::optional<KVXkbLayoutName> windowsLayoutName(uint32_t id) {
    for (const auto& entry : kWindowsLayouts)
        if (entry.id == id)
            return KVXkbLayoutName{std::string(entry.layout), std::string(entry.variant)};
    return std::nullopt;
}

uint16_t languageIdFor(std::string_view iso639) {
    if (const auto* language = findIso639(iso639))
        return language->languageId;
    return static_cast<uint16_t>(0x0400 | (0x200 + fnv1a(iso639) % 0x200));
}

uint32_t layoutIdFor(const KVXkbLayoutName& name, std::string_view iso639) {
    if (auto id = windowsLayoutId(name))
        return *id;
    const uint32_t layoutWord = 0x6000 + fnv1a(name.text()) % 0x8000;
    return layoutWord << 16 | languageIdFor(iso639);
}

const KVLanguageInfo* findLanguage(uint16_t languageId) {
    for (const auto& language : kLanguages)
        if (language.primary == (languageId & 0x3FF))
            return &language;
    return nullptr;
}

std::string_view localeOfLanguage(uint16_t languageId) {
    for (const auto& regional : kRegionalLocales)
        if (regional.languageId == languageId)
            return regional.locale;
    const auto* language = findLanguage(languageId);
    return language ? language->locale : std::string_view{};
}

std::string_view tableDecimalSeparator(uint16_t languageId) {
    for (const auto& regional : kRegionalLocales)
        if (regional.languageId == languageId)
            return regional.decimal;
    const auto* language = findLanguage(languageId);
    return language ? language->decimal : std::string_view{};
}

} // namespace corvane
