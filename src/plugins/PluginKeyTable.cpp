#include "plugins/PluginKeyTable.h"

#include "keyboard/KeyboardGeometry.h"

#include <array>
#include <cstdlib>

namespace corvane::plugins {

namespace {

using corvane::keyboard::kMainKeyPlaces;

// The number-key row is the one with a key in every column, so a key's column is that of the
// number-row key nearest to it across.
constexpr uint8_t kFullRow = 1;

std::array<KVPluginKeyPlace, kMainKeyPlaces.size()> makeTable() {
    std::array<KVPluginKeyPlace, kMainKeyPlaces.size()> table{};
    for (std::size_t key = 0; key < kMainKeyPlaces.size(); ++key) {
        const auto& place = kMainKeyPlaces[key];
        uint8_t column = 0;
        int nearest = -1;
        uint8_t index = 0;
        for (const auto& other : kMainKeyPlaces) {
            if (other.row != kFullRow)
                continue;
            const int distance = std::abs(other.x - place.x);
            if (nearest < 0 || distance < nearest) {
                nearest = distance;
                column = index;
            }
            ++index;
        }
        table[key] = {static_cast<uint16_t>(place.x), static_cast<uint16_t>(place.y), column, place.row};
    }
    return table;
}

} // namespace

KVPluginKeyPlace pluginKeyPlace(unsigned key) {
    static const auto table = makeTable();
    return key < table.size() ? table[key] : KVPluginKeyPlace{};
}

} // namespace corvane::plugins
