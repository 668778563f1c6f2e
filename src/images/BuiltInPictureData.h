#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The table that the picture generator writes at build time, sorted by name.
namespace corvane::images {

struct BuiltInPicture {
    std::string_view name;
    std::span<const std::uint8_t> png;
};

extern const std::span<const BuiltInPicture> kBuiltInPictures;

} // namespace corvane::images
