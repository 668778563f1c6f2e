#pragma once

#include <cstdint>

namespace corvane::plugins {

// Where a key sits, as a view plug-in learns it: its row (0-5) and column (0-22), and the top-left
// corner of its display in the drawing of the whole keyboard with 48-pixel keys.
struct KVPluginKeyPlace {
    uint16_t x = 0;
    uint16_t y = 0;
    uint8_t column = 0;
    uint8_t row = 0;
};

// For a key number of the main keyboard; all zero for any other number.
KVPluginKeyPlace pluginKeyPlace(unsigned key);

} // namespace corvane::plugins
