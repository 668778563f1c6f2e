#include "system/XkbLayoutName.h"

#include <array>

namespace corvane {
namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto comma = text.find(',');
        parts.push_back(trimmed(text.substr(0, comma)));
        if (comma == std::string_view::npos)
            return parts;
        text.remove_prefix(comma + 1);
    }
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '+';
}

bool isName(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!isNameCharacter(c))
            return false;
    return true;
}

// One "layout" or "layout(variant)" entry; nullopt-like empty layout when malformed.
KVXkbLayoutName parseEntry(std::string_view entry) {
    const auto open = entry.find('(');
    if (open == std::string_view::npos)
        return isName(entry) ? KVXkbLayoutName{std::string(entry), {}} : KVXkbLayoutName{};
    if (entry.back() != ')')
        return {};
    const auto layout = trimmed(entry.substr(0, open));
    const auto variant = trimmed(entry.substr(open + 1, entry.size() - open - 2));
    if (!isName(layout) || !isName(variant))
        return {};
    return {std::string(layout), std::string(variant)};
}

// The value of a shell assignment, without its quotes.
std::string_view unquoted(std::string_view value) {
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::vector<KVXkbLayoutName> parseXkbLayoutList(std::string_view text) {
    std::vector<KVXkbLayoutName> names;
    for (auto entry : splitCommas(text)) {
        auto name = parseEntry(entry);
        if (!name.layout.empty())
            names.push_back(std::move(name));
    }
    return names;
}

std::vector<KVXkbLayoutName> pairXkbLayouts(std::string_view layouts, std::string_view variants) {
    const auto layoutParts = splitCommas(layouts);
    const auto variantParts = splitCommas(variants);
    std::vector<KVXkbLayoutName> names;
    for (std::size_t i = 0; i < layoutParts.size(); ++i) {
        if (!isName(layoutParts[i]))
            continue;
        KVXkbLayoutName name{std::string(layoutParts[i]), {}};
        if (i < variantParts.size() && isName(variantParts[i]))
            name.variant = variantParts[i];
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<KVXkbLayoutName> parseXkbRulesNames(std::string_view property) {
    // rules, model, layouts, variants, options
    std::array<std::string_view, 5> fields{};
    for (auto& field : fields) {
        const auto end = property.find('\0');
        field = property.substr(0, end);
        if (end == std::string_view::npos) {
            property = {};
            break;
        }
        property.remove_prefix(end + 1);
    }
    return pairXkbLayouts(fields[2], fields[3]);
}

std::vector<KVXkbLayoutName> parseKeyboardDefaults(std::string_view content) {
    std::string_view layouts;
    std::string_view variants;
    while (!content.empty()) {
        const auto end = content.find('\n');
        auto line = trimmed(content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        if (line.starts_with("export "))
            line = trimmed(line.substr(7));
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos)
            continue;
        const auto key = line.substr(0, equals);
        if (key == "XKBLAYOUT")
            layouts = unquoted(line.substr(equals + 1));
        else if (key == "XKBVARIANT")
            variants = unquoted(line.substr(equals + 1));
    }
    return pairXkbLayouts(layouts, variants);
}

} // namespace corvane

std::string KVXkbLayoutName::text() const {
    return variant.empty() ? layout : layout + "(" + variant + ")";
}
