#pragma once

#include <cstdint>
#include <span>
#include <vector>

class KVImage;

// The bridge between key pictures and libvips: decoding accepted formats, Lanczos3 scaling, PNG encoding.
namespace corvane::images {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// Decodes `bytes` into `out` as 24 bits. With a size, the picture is scaled to exactly that size with
// Lanczos3 (the aspect ratio is not kept). Transparent parts are laid over black, the colour of an unlit
// key. Unknown formats, absurd declared sizes, truncated and damaged data give false and leave `out`
// untouched.
bool decodePicture(std::span<const std::uint8_t> bytes, KVImage& out, PictureSize size = {});

// Decodes `bytes` as rows top-down of red, green, blue and straight alpha, scaled to exactly `size`
// (what icons need); empty on failure.
std::vector<std::uint8_t> decodePictureRgba(std::span<const std::uint8_t> bytes, PictureSize size);

// Lanczos3 to exactly the given size; false (picture untouched) when it holds no pixels or scaling fails.
bool resizePicture(KVImage& image, PictureSize size);

// PNG bytes of the picture, without metadata; empty on failure.
std::vector<std::uint8_t> encodePicturePng(const KVImage& image);

} // namespace corvane::images
