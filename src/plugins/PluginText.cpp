#include "plugins/PluginText.h"

#include <corvane/plugin.h>
#include <cstring>

namespace corvane::plugins {

namespace {

// The byte count of the well-formed UTF-8 character at the start of `text`; 0 when it is not one.
std::size_t characterLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and values above U+10FFFF.
    const auto second = static_cast<unsigned char>(text[1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

std::size_t utf8PrefixLength(std::string_view text, std::size_t maxChars, std::size_t maxBytes) {
    std::size_t bytes = 0;
    for (std::size_t chars = 0; chars < maxChars && bytes < text.size(); ++chars) {
        const std::size_t length = characterLength(text.substr(bytes));
        if (length == 0 || bytes + length > maxBytes)
            break;
        bytes += length;
    }
    return bytes;
}

void copyToPluginBuffer(std::string_view text, char* buffer) {
    if (!buffer)
        return;
    // Keep one byte for the terminating zero; 512 characters of at most 4 bytes always fit.
    const std::size_t length =
        utf8PrefixLength(text, CORVANE_PLUGIN_BUFFER_CHARS, CORVANE_PLUGIN_BUFFER_SIZE - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

} // namespace corvane::plugins
