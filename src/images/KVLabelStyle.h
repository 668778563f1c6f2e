#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// How a text label looks: the label keys of a binding's properties with their defaults. Colours are
// 0x00BBGGRR (red in the low byte), as stored.
struct KVLabelStyle {
    static constexpr int kBold = 1;
    static constexpr int kItalic = 2;
    static constexpr int kMaxFontSize = 400;

    std::string face = "Tahoma";
    int size = 28; // points
    bool bold = false;
    bool italic = false;
    std::uint32_t color = 0xFFFFFF;
    std::uint32_t bkColor = 0;

    int fontStyle() const { return (bold ? kBold : 0) | (italic ? kItalic : 0); }

    // Reads "FontFace", "FontSize", "Bold", "Italic", "Color" and "BkColor" through `value(key, fallback)`,
    // which answers the stored text or the fallback. Numbers are read as every stored number is; a size or
    // colour without one keeps its default; sizes are held between 1 and kMaxFontSize points.
    using Lookup = std::function<std::string(std::string_view key, std::string_view fallback)>;
    static KVLabelStyle read(const Lookup& value, bool hasEntries);
};
