#include "system/KeyboardLayouts.h"

#include "core/Log.h"
#include "images/KVGlobalImageList.h"
#include "system/LanguagePicture.h"
#include "system/LayoutIds.h"

#include <algorithm>
#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace {

constexpr uint16_t kUsEnglish = 0x0409;
constexpr std::size_t kMaxSeparatorCharacters = 6;

uint16_t languageOf(uint32_t layout) {
    return static_cast<uint16_t>(layout & 0xFFFF);
}

// The first `count` characters of UTF-8 text.
std::string firstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size() && characters < count; ++characters) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
    }
    return std::string(text.substr(0, end));
}

// The locale's decimal separator from glibc's compiled locale data; empty when it is not installed.
std::string glibcDecimalSeparator(std::string_view locale) {
    for (const char* codeset : {".UTF-8", ".utf8", ""}) {
        const std::string name = std::string(locale) + codeset;
        locale_t handle = newlocale(LC_NUMERIC_MASK, name.c_str(), nullptr);
        if (!handle)
            continue;
        std::string separator = nl_langinfo_l(RADIXCHAR, handle);
        freelocale(handle);
        return separator;
    }
    return {};
}

} // namespace

KVKeyboardLayouts::KVKeyboardLayouts(const IKVLayoutSystem& system, KVGlobalImageList* images)
    : m_system(system), m_images(images) {}

KVKeyboardLayouts::~KVKeyboardLayouts() = default;

const KVLayoutRegistry& KVKeyboardLayouts::registry() const {
    if (!m_registry)
        m_registry = std::make_unique<KVLayoutRegistry>();
    return *m_registry;
}

const std::map<uint32_t, const KVLayoutRegistry::Entry*>& KVKeyboardLayouts::registryIds() const {
    if (!m_registryIdsFilled) {
        m_registryIdsFilled = true;
        for (const auto& entry : registry().entries())
            m_registryIds.emplace(idOf(entry.name), &entry); // the first of equal identifiers wins
    }
    return m_registryIds;
}

uint32_t KVKeyboardLayouts::idOf(const KVXkbLayoutName& name) const {
    if (auto id = corvane::windowsLayoutId(name))
        return *id;
    const auto* entry = registry().find(name);
    return corvane::layoutIdFor(name, entry && !entry->languages.empty() ? entry->languages.front() : "");
}

std::vector<KVKeyboardLayouts::Installed> KVKeyboardLayouts::installed() const {
    std::vector<Installed> layouts;
    for (auto& name : m_system.installedLayouts()) {
        const uint32_t id = idOf(name);
        layouts.push_back({std::move(name), id});
    }
    return layouts;
}

std::vector<uint32_t> KVKeyboardLayouts::InstalledLayouts() const {
    std::vector<uint32_t> ids;
    for (const auto& layout : installed())
        if (std::find(ids.begin(), ids.end(), layout.id) == ids.end())
            ids.push_back(layout.id);
    return ids;
}

uint32_t KVKeyboardLayouts::CurrentLayout() const {
    const auto layouts = installed();
    if (layouts.empty())
        return 0;
    // The group indexes the session's own list, duplicates included.
    const auto group = m_system.currentGroup();
    if (group && *group < layouts.size())
        return layouts[*group].id;
    return layouts.front().id;
}

uint32_t KVKeyboardLayouts::DefaultLayout() const {
    const auto layouts = InstalledLayouts();
    if (layouts.empty())
        return 0;
    for (uint32_t layout : layouts)
        if (languageOf(layout) != kUsEnglish)
            return layout;
    return layouts.front();
}

std::optional<KVXkbLayoutName> KVKeyboardLayouts::XkbName(uint32_t layout) const {
    for (auto& entry : installed())
        if (entry.id == layout)
            return std::move(entry.name);
    if (auto name = corvane::windowsLayoutName(layout))
        return name;
    const auto& ids = registryIds();
    if (auto it = ids.find(layout); it != ids.end())
        return it->second->name;
    return std::nullopt;
}

std::string KVKeyboardLayouts::LanguageName(uint32_t layout) const {
    const auto* language = corvane::findLanguage(languageOf(layout));
    return language ? std::string(language->name) : std::string();
}

std::string KVKeyboardLayouts::LayoutName(uint32_t layout) const {
    const auto name = XkbName(layout);
    if (!name)
        return {};
    if (const auto* entry = registry().find(*name))
        return entry->description;
    return name->text();
}

std::string KVKeyboardLayouts::LayerTitle(uint32_t layout) const {
    auto language = LanguageName(layout);
    if (!language.empty())
        language += " - ";
    return language + LayoutName(layout);
}

std::string KVKeyboardLayouts::LanguageAbbreviation(uint16_t languageId) const {
    if (const auto* language = corvane::findLanguage(languageId))
        return std::string(language->abbrev);
    // A language outside the table: the first two letters of an ISO 639 code that gives this word.
    auto fromCode = [&](const std::vector<std::string>& codes) -> std::string {
        for (const auto& code : codes) {
            if (code.size() >= 2 && corvane::languageIdFor(code) == languageId) {
                std::string abbreviation = code.substr(0, 2);
                for (char& c : abbreviation)
                    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
                return abbreviation;
            }
        }
        return {};
    };
    for (const auto& layout : installed())
        if (const auto* entry = registry().find(layout.name))
            if (auto abbreviation = fromCode(entry->languages); !abbreviation.empty())
                return abbreviation;
    for (const auto& entry : registry().entries())
        if (auto abbreviation = fromCode(entry.languages); !abbreviation.empty())
            return abbreviation;
    return {};
}

std::string KVKeyboardLayouts::DecimalSeparator(uint16_t languageId) const {
    const auto locale = corvane::localeOfLanguage(languageId);
    std::string separator;
    if (!locale.empty())
        separator = glibcDecimalSeparator(locale);
    if (separator.empty())
        separator = corvane::tableDecimalSeparator(languageId);
    if (separator.empty())
        separator = ".";
    return firstCharacters(separator, kMaxSeparatorCharacters);
}

int KVKeyboardLayouts::LayoutImageIndex(uint32_t layout) {
    if (auto it = m_pictures.find(layout); it != m_pictures.end())
        return it->second;
    if (!m_images)
        return -1;
    const auto picture = corvane::drawLanguagePicture(LanguageAbbreviation(languageOf(layout)));
    if (!picture)
        return -1;
    const int index = m_images->add(*picture);
    if (index < 0) {
        corvane::logger("system").warn("the image list refused the picture of layout {:08X}", layout);
        return -1;
    }
    m_pictures.emplace(layout, index);
    return index;
}
