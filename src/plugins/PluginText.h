#pragma once

#include <cstddef>
#include <string_view>

namespace corvane::plugins {

// Copies `text` into a plug-in's text buffer (CORVANE_PLUGIN_BUFFER_SIZE bytes): at most
// CORVANE_PLUGIN_BUFFER_CHARS characters, never cut inside a character, always terminated. An invalid
// byte sequence ends the copy where it starts, so the plug-in never gets broken text.
void copyToPluginBuffer(std::string_view text, char* buffer);

// The length of the longest prefix of `text` that holds at most `maxChars` whole UTF-8 characters and
// fits `maxBytes` bytes.
std::size_t utf8PrefixLength(std::string_view text, std::size_t maxChars, std::size_t maxBytes);

} // namespace corvane::plugins
