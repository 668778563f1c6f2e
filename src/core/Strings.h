#pragma once

#include <string>
#include <string_view>

// Text helpers. Text is UTF-8 in memory and in files; UTF-16 only crosses the plug-in boundary.
namespace corvane {

std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);
bool iequals(std::string_view a, std::string_view b);
bool icontains(std::string_view text, std::string_view part);
bool iendsWith(std::string_view text, std::string_view suffix);

// Invalid sequences become U+FFFD rather than failing: these convert names and labels, not data.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

} // namespace corvane
