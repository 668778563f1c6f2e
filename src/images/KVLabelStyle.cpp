#include "images/KVLabelStyle.h"

#include "core/Log.h"
#include "core/StoredNumbers.h"

#include <algorithm>

KVLabelStyle KVLabelStyle::read(const Lookup& value, bool hasEntries) {
    KVLabelStyle style;
    if (!hasEntries)
        return style;
    style.face = value("FontFace", style.face);
    if (const std::string text = value("FontSize", ""); !text.empty()) {
        if (const auto size = corvane::readStoredDecimal(text); size && *size > 0)
            style.size = int(std::min<std::uint32_t>(*size, kMaxFontSize));
        else
            corvane::logger("images").warn("label font size \"{}\" is not a size; {} points drawn", text,
                                           style.size);
    }
    style.bold = value("Bold", "") == "true";
    style.italic = value("Italic", "") == "true";
    for (auto [key, colour] : {std::pair{"Color", &style.color}, std::pair{"BkColor", &style.bkColor}}) {
        const std::string text = value(key, "");
        if (text.empty())
            continue;
        if (const auto parsed = corvane::readStoredDecimal(text))
            *colour = *parsed & 0xFFFFFFu;
        else
            corvane::logger("images").warn("label colour {} \"{}\" is not a number; default kept", key, text);
    }
    return style;
}
