#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The picture formats a key picture may come in, told by their leading bytes (never by the file name),
// and the sizes we are willing to decode.
namespace corvane::images {

enum class PictureFormat { Png, Jpeg, Gif, Bmp, Tiff, Webp, Psd };

// Files larger than this are not read at all.
inline constexpr std::size_t kMaxPictureFileBytes = 64u * 1024 * 1024;
// A declared picture beyond either bound is refused before any pixel memory is taken.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr std::int64_t kMaxPicturePixels = 40'000'000;

std::optional<PictureFormat> sniffPictureFormat(std::span<const std::uint8_t> bytes);
std::string_view pictureFormatName(PictureFormat format);

bool declaredSizeAcceptable(std::int64_t width, std::int64_t height);

struct DeclaredSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};
// The size a BMP or PSD header declares, read by hand because ImageMagick, which decodes those two,
// would read (and allocate) the whole picture just to learn it. Empty when the header is too short.
std::optional<DeclaredSize> declaredSize(PictureFormat format, std::span<const std::uint8_t> bytes);

} // namespace corvane::images
