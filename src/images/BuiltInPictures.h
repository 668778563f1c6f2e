#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Pictures compiled into the program as PNG bytes: the seventeen action pictures, named "ACTION_..."
// (looked up without regard to case), and the editor's key decorations.
namespace corvane::images {

// The PNG bytes of a built-in picture, empty when there is none of that name.
std::span<const std::uint8_t> builtInPicturePng(std::string_view name);

// Names of every built-in action picture, in upper case and sorted.
std::vector<std::string_view> builtInActionNames();

} // namespace corvane::images
