#include "update/VersionLists.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include "core/Log.h"

#include <memory>
#include <pcre2.h>

namespace corvane::update {

namespace {

// Compiled once; a compiled pattern may be shared by threads, match data may not.
class VersionPattern {
public:
    VersionPattern() {
        int error = 0;
        PCRE2_SIZE offset = 0;
        constexpr std::string_view pattern = R"((\d+\.\d+\w*))";
        m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                               &offset, nullptr);
        if (!m_code)
            corvane::logger("update").critical("the version pattern does not compile (error {})", error);
    }
    ~VersionPattern() { pcre2_code_free(m_code); }
    VersionPattern(const VersionPattern&) = delete;
    VersionPattern& operator=(const VersionPattern&) = delete;

    std::string firstMatch(std::string_view text) const {
        if (!m_code)
            return {};
        std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
            pcre2_match_data_create_from_pattern(m_code, nullptr), &pcre2_match_data_free);
        if (!match)
            return {};
        const int found = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                                      match.get(), nullptr);
        if (found < 2)
            return {};
        const PCRE2_SIZE* span = pcre2_get_ovector_pointer(match.get());
        return std::string(text.substr(span[2], span[3] - span[2]));
    }

private:
    pcre2_code* m_code = nullptr;
};

const VersionPattern& versionPattern() {
    static const VersionPattern pattern;
    return pattern;
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == '+' || c == '~' || c == ' ';
}

} // namespace

std::string extractVersion(std::string_view text) {
    return versionPattern().firstMatch(text);
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '.')
        return false;
    for (char c : name)
        if (!isNameCharacter(c))
            return false;
    return true;
}

FirmwareList parseFirmwareList(std::string_view text) {
    FirmwareList list;
    list.available = extractVersion(text);
    if (!list.available.empty())
        list.entries.push_back({list.available, std::string(kLatestFirmwareFile)});

    size_t lineStart = text.find('\n');
    if (lineStart == std::string_view::npos)
        return list;
    ++lineStart;
    while (lineStart < text.size()) {
        const size_t end = text.find('\n', lineStart);
        if (end == std::string_view::npos)
            break;
        std::string_view line = text.substr(lineStart, end - lineStart);
        lineStart = end + 1;
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            break;
        // Lines may end in CR LF or in LF alone; only a CR is taken off the name, never a letter of it.
        std::string_view name = line.substr(tab + 1);
        if (!name.empty() && name.back() == '\r')
            name.remove_suffix(1);
        if (!isPlainFileName(name)) {
            corvane::logger("update").warn(
                "the firmware list names \"{}\", which is not a plain file name; skipped", name);
            continue;
        }
        list.entries.push_back({extractVersion(line.substr(0, tab)), std::string(name)});
    }
    return list;
}

ConfiguratorList parseConfiguratorList(std::string_view text) {
    const size_t tab = text.find('\t');
    if (tab == std::string_view::npos)
        return {};
    ConfiguratorList list;
    list.version = std::string(text.substr(0, tab));
    const std::string_view rest = text.substr(tab + 1);
    const std::string_view name = rest.substr(0, rest.find_first_of("\r\n\t"));
    if (isPlainFileName(name))
        list.installerName = std::string(name);
    else if (!name.empty())
        corvane::logger("update").warn(
            "the configurator list names the installer \"{}\", which is not a plain file name", name);
    return list;
}

} // namespace corvane::update
