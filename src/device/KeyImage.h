#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The pixel format of a key display file: 48 x 48 pixels, top row first, RGB 5-6-5 with the high byte
// first (R7..R3 G7..G5, then G4..G2 B7..B3), 4608 bytes without a header.
namespace corvane::device {

inline constexpr unsigned kDisplaySide = 48;
inline constexpr size_t kKeyImageSize = kDisplaySide * kDisplaySide * 2; // 4608
inline constexpr size_t kPixels24Size = kDisplaySide * kDisplaySide * 3; // rows of 144 bytes
inline constexpr size_t kPixels32Size = kDisplaySide * kDisplaySide * 4; // rows of 192 bytes

using KeyImageFile = std::array<uint8_t, kKeyImageSize>;

// One pixel as the display takes it. Green below 8 is written as 0: the panel shows its lowest green
// step as a visible tint on black.
std::array<uint8_t, 2> encodeRgb565(uint8_t red, uint8_t green, uint8_t blue);

// Converts 48 x 48 source pixels (bottom row first, bytes blue, green, red and, for 4 bytes per pixel, a
// fourth byte that is ignored) into a display file. A turned display gets the picture turned 90 degrees
// clockwise: file pixel (row r, column c) is the picture's pixel at column r, row 47 - c from the top.
void convertKeyImage(std::span<const uint8_t> pixels, unsigned bytesPerPixel, bool turned,
                     std::span<uint8_t, kKeyImageSize> out);

// The inverse for viewers of the files: 48 x 48 RGB pixels, top row first, 3 bytes each, the turned
// displays turned back. The low bits lost by 5-6-5 come back as copies of the high bits.
std::array<uint8_t, kPixels24Size> decodeKeyImage(std::span<const uint8_t, kKeyImageSize> file, bool turned);

} // namespace corvane::device
