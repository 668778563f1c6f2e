#include "images/PictureFormat.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace corvane::images {
namespace {

struct Signature {
    PictureFormat format;
    std::size_t offset;
    std::string_view magic;
};

using namespace std::string_view_literals;

constexpr std::array kSignatures = {
    Signature{PictureFormat::Png, 0, "\x89PNG\r\n\x1a\n"sv},
    Signature{PictureFormat::Jpeg, 0, "\xff\xd8\xff"sv},
    Signature{PictureFormat::Gif, 0, "GIF87a"sv},
    Signature{PictureFormat::Gif, 0, "GIF89a"sv},
    Signature{PictureFormat::Bmp, 0, "BM"sv},
    Signature{PictureFormat::Tiff, 0, "II*\0"sv},
    Signature{PictureFormat::Tiff, 0, "MM\0*"sv},
    Signature{PictureFormat::Webp, 8, "WEBP"sv},
    Signature{PictureFormat::Psd, 0, "8BPS"sv},
};

bool matches(std::span<const std::uint8_t> bytes, const Signature& signature) {
    if (bytes.size() < signature.offset + signature.magic.size())
        return false;
    return std::equal(signature.magic.begin(), signature.magic.end(), bytes.begin() + signature.offset,
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

std::uint32_t littleEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}
std::uint16_t littleEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

// File header (14 bytes), then the info header whose first field is its own size: 12 bytes for the old
// core header with 16-bit sides, 40 or more with signed 32-bit sides (a negative height means top-down).
std::optional<DeclaredSize> bmpSize(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kInfoHeader = 14;
    if (bytes.size() < kInfoHeader + 4)
        return std::nullopt;
    const std::uint32_t infoSize = littleEndian32(bytes, kInfoHeader);
    if (infoSize == 12) {
        if (bytes.size() < kInfoHeader + 12)
            return std::nullopt;
        return DeclaredSize{littleEndian16(bytes, kInfoHeader + 4), littleEndian16(bytes, kInfoHeader + 6)};
    }
    if (infoSize < 40 || bytes.size() < kInfoHeader + 12)
        return std::nullopt;
    const auto width = static_cast<std::int32_t>(littleEndian32(bytes, kInfoHeader + 4));
    const auto height = static_cast<std::int32_t>(littleEndian32(bytes, kInfoHeader + 8));
    return DeclaredSize{width, std::llabs(static_cast<std::int64_t>(height))};
}

// Signature, version, six reserved bytes, channels (16 bits), then height and width as 32-bit big-endian.
std::optional<DeclaredSize> psdSize(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 22)
        return std::nullopt;
    return DeclaredSize{bigEndian32(bytes, 18), bigEndian32(bytes, 14)};
}

} // namespace

std::optional<PictureFormat> sniffPictureFormat(std::span<const std::uint8_t> bytes) {
    for (const auto& signature : kSignatures) {
        if (!matches(bytes, signature))
            continue;
        // "WEBP" sits inside a RIFF container; check the container too.
        if (signature.format == PictureFormat::Webp && !matches(bytes, {PictureFormat::Webp, 0, "RIFF"sv}))
            continue;
        return signature.format;
    }
    return std::nullopt;
}

std::string_view pictureFormatName(PictureFormat format) {
    switch (format) {
    case PictureFormat::Png:
        return "PNG";
    case PictureFormat::Jpeg:
        return "JPEG";
    case PictureFormat::Gif:
        return "GIF";
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Tiff:
        return "TIFF";
    case PictureFormat::Webp:
        return "WebP";
    case PictureFormat::Psd:
        return "PSD";
    }
    return "unknown";
}

bool declaredSizeAcceptable(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

std::optional<DeclaredSize> declaredSize(PictureFormat format, std::span<const std::uint8_t> bytes) {
    switch (format) {
    case PictureFormat::Bmp:
        return bmpSize(bytes);
    case PictureFormat::Psd:
        return psdSize(bytes);
    default:
        return std::nullopt;
    }
}

} // namespace corvane::images
