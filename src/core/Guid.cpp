#include "core/Guid.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string_view>

namespace corvane {

std::string newGuidString() {
    // Version 4 (random) GUID; one generator per thread, seeded from the system's entropy.
    thread_local std::mt19937_64 generator{std::random_device{}() ^ (uint64_t(std::random_device{}()) << 32)};
    std::array<uint8_t, 16> b{};
    for (size_t i = 0; i < b.size(); i += 8) {
        const uint64_t word = generator();
        for (size_t j = 0; j < 8; ++j)
            b[i + j] = uint8_t(word >> (8 * j));
    }
    b[6] = uint8_t((b[6] & 0x0F) | 0x40);
    b[8] = uint8_t((b[8] & 0x3F) | 0x80);
    char text[39];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

bool isGuidString(std::string_view text) {
    static constexpr std::string_view kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != kShape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (kShape[i] == 'X') {
            if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c)))
                return false;
        } else if (c != kShape[i]) {
            return false;
        }
    }
    return true;
}

} // namespace corvane
