#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::images {

// The whole content of a regular file, or nothing when it cannot be read or is larger than `maxBytes`.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::size_t maxBytes);

// Replaces `path` with `bytes` so that a crash or a full disk leaves either the old file or the complete
// new one: a fresh file beside it is written, flushed to disk and renamed over the target.
bool writeFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace corvane::images
