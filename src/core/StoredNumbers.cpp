#include "core/StoredNumbers.h"

#include <limits>

namespace corvane {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int digitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value >= 0 && unsigned(value) < base ? value : -1;
}

std::optional<std::uint32_t> readStored(std::string_view text, unsigned base) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    bool any = false;
    for (int digit; i < text.size() && (digit = digitValue(text[i], base)) >= 0; ++i) {
        value = std::min(value * base + unsigned(digit), kLargest + 1);
        any = true;
    }
    if (!any)
        return std::nullopt;
    return std::uint32_t(std::min(value, kLargest));
}

} // namespace

std::optional<std::uint32_t> readStoredDecimal(std::string_view text) {
    return readStored(text, 10);
}

std::optional<std::uint32_t> readStoredHex(std::string_view text) {
    return readStored(text, 16);
}

} // namespace corvane
