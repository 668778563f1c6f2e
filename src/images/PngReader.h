#pragma once

#include "images/KVImage.h"

#include <cstdint>
#include <optional>
#include <span>

// Stored key pictures are small PNGs, thousands of them read at start-up. libvips spends about 250 us of
// pipeline set-up on each; libpng (through Cairo) reads one in about 20 us. Larger PNGs and every other
// format still go through libvips.
namespace corvane::images {

// Largest declared PNG read this way; larger ones stream through libvips instead of being held whole.
inline constexpr std::int64_t kDirectPngMaxPixels = 1024 * 1024;

// Reads a PNG (its header already checked) at its own size as 24 bits, transparency laid over black.
// Empty when the data is damaged or truncated, or has a form this reader does not take.
std::optional<KVImage> readPngDirect(std::span<const std::uint8_t> bytes);

} // namespace corvane::images
