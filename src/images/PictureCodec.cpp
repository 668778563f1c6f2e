#include "images/PictureCodec.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "images/PictureFormat.h"
#include "images/PngReader.h"
#include "images/VipsRuntime.h"

#include <memory>
#include <optional>
#include <string>
#include <vips/vips8>

namespace corvane::images {
namespace {

using vips::VImage;

struct BlobRelease {
    void operator()(VipsBlob* blob) const { vips_area_unref(VIPS_AREA(blob)); }
};
using BlobRef = std::unique_ptr<VipsBlob, BlobRelease>;

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

vips::VOption* loadOptions() {
    // Truncated data is an error, not a picture with a grey bottom half.
    return VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED)->set("access", VIPS_ACCESS_SEQUENTIAL);
}

// Builds the loader, which reads only the header; pixels are decoded later, when they are asked for.
VImage openLoader(PictureFormat format, VipsBlob* blob) {
    switch (format) {
    case PictureFormat::Png:
        return VImage::pngload_buffer(blob, loadOptions());
    case PictureFormat::Jpeg:
        return VImage::jpegload_buffer(blob, loadOptions());
    case PictureFormat::Gif:
        return VImage::gifload_buffer(blob, loadOptions());
    case PictureFormat::Tiff:
        return VImage::tiffload_buffer(blob, loadOptions());
    case PictureFormat::Webp:
        return VImage::webpload_buffer(blob, loadOptions());
    case PictureFormat::Bmp:
    case PictureFormat::Psd:
        return VImage::magickload_buffer(blob, loadOptions());
    }
    throw vips::VError("unknown picture format");
}

// Loaders may label pixels loosely (a TIFF of "multiband" samples); take the best guess of what they are.
VImage toSrgb(const VImage& image) {
    const VipsInterpretation source = vips_image_guess_interpretation(image.get_image());
    return image.colourspace(VIPS_INTERPRETATION_sRGB, VImage::option()->set("source_space", source));
}

// Any band layout and sample format becomes 8-bit sRGB with three bands.
VImage toRgb24(VImage image) {
    if (image.has_alpha())
        image = image.flatten(VImage::option()->set("background", std::vector<double>{0.0}));
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB)
        image = toSrgb(image);
    if (image.bands() > 3)
        image = image.extract_band(0, VImage::option()->set("n", 3));
    else if (image.bands() == 2)
        image = image.extract_band(0);
    if (image.bands() == 1)
        image = image.bandjoin({image, image});
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    return image;
}

VImage toRgba32(VImage image) {
    const bool alpha = image.has_alpha();
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB)
        image = toSrgb(image);
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() == 1)
        image = image.bandjoin({image, image});
    if (!alpha || image.bands() < 4)
        return image.extract_band(0, VImage::option()->set("n", 3)).bandjoin_const({255});
    return image.extract_band(0, VImage::option()->set("n", 4));
}

VImage resizeExactly(VImage image, PictureSize size) {
    if (image.width() == size.width && image.height() == size.height)
        return image;
    const double horizontal = static_cast<double>(size.width) / image.width();
    const double vertical = static_cast<double>(size.height) / image.height();
    image = image.resize(horizontal,
                         VImage::option()->set("vscale", vertical)->set("kernel", VIPS_KERNEL_LANCZOS3));
    // Rounding inside the scaler may leave a pixel too many or too few; the frame is what counts.
    if (image.width() != size.width || image.height() != size.height)
        image = image.embed(0, 0, size.width, size.height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return image;
}

bool storeInto(VImage image, KVImage& out) {
    std::size_t length = 0;
    std::unique_ptr<void, GFree> memory(image.write_to_memory(&length));
    const auto expected = static_cast<std::size_t>(image.width()) * image.height() * 3;
    if (!memory || length != expected) {
        corvane::logger("images").warn("decoder gave {} bytes where {} were expected", length, expected);
        return false;
    }
    return out.assignTopDownRgb(image.width(), image.height(),
                                {static_cast<const std::uint8_t*>(memory.get()), length});
}

VImage imageOf(const KVImage& picture, std::vector<std::uint8_t>& rgb) {
    rgb = picture.toTopDownRgb();
    return VImage::new_from_memory(rgb.data(), rgb.size(), picture.width(), picture.height(), 3,
                                   VIPS_FORMAT_UCHAR);
}

void logVipsFailure(const char* what, const vips::VError& error) {
    std::string message = error.what();
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    corvane::logger("images").warn("{}: {}", what, message);
    vips_error_clear();
}

// The format of `bytes` when it is accepted and its header, where we read it, declares a sane size.
std::optional<PictureFormat> checkHeader(std::span<const std::uint8_t> bytes) {
    const auto format = sniffPictureFormat(bytes);
    if (!format) {
        corvane::logger("images").warn("not a picture of an accepted format ({} bytes)", bytes.size());
        return std::nullopt;
    }
    if (const auto declared = declaredSize(*format, bytes);
        declared && !declaredSizeAcceptable(declared->width, declared->height)) {
        corvane::logger("images").warn("{} declares {} x {}; refused", pictureFormatName(*format),
                                       declared->width, declared->height);
        return std::nullopt;
    }
    return format;
}

bool isSmallPng(PictureFormat format, std::span<const std::uint8_t> bytes) {
    if (format != PictureFormat::Png)
        return false;
    const auto declared = declaredSize(format, bytes);
    return declared && declared->width * declared->height <= kDirectPngMaxPixels;
}

// The loader of an accepted format whose header declares a sane size; empty when refused.
std::optional<VImage> openChecked(std::span<const std::uint8_t> bytes) {
    const auto format = checkHeader(bytes);
    if (!format)
        return std::nullopt;
    if (!startVips())
        return std::nullopt;
    // The blob does not copy the bytes; the caller's bytes outlive every use of the image.
    BlobRef blob(vips_blob_new(nullptr, bytes.data(), bytes.size()));
    VImage image = openLoader(*format, blob.get());
    if (!declaredSizeAcceptable(image.width(), image.height()) || image.bands() > 16) {
        corvane::logger("images").warn("{} declares {} x {} with {} bands; refused",
                                       pictureFormatName(*format), image.width(), image.height(),
                                       image.bands());
        return std::nullopt;
    }
    return image;
}

} // namespace

bool decodePicture(std::span<const std::uint8_t> bytes, KVImage& out, PictureSize size) {
    const auto format = checkHeader(bytes);
    if (!format)
        return false;
    if (isSmallPng(*format, bytes)) {
        auto picture = readPngDirect(bytes);
        if (!picture)
            return false;
        if (size.width > 0 && size.height > 0 &&
            (picture->width() != size.width || picture->height() != size.height) &&
            !resizePicture(*picture, size))
            return false;
        out.takePixels(std::move(*picture));
        return true;
    }
    try {
        auto image = openChecked(bytes);
        if (!image)
            return false;
        VImage rgb = toRgb24(*image);
        if (size.width > 0 && size.height > 0)
            rgb = resizeExactly(rgb, size);
        return storeInto(rgb, out);
    } catch (const vips::VError& error) {
        logVipsFailure("cannot decode picture", error);
        return false;
    }
}

std::vector<std::uint8_t> decodePictureRgba(std::span<const std::uint8_t> bytes, PictureSize size) {
    if (size.width <= 0 || size.height <= 0)
        return {};
    try {
        auto image = openChecked(bytes);
        if (!image)
            return {};
        VImage rgba = toRgba32(*image);
        // Scaling straight alpha would bleed the colour of invisible pixels into the edges.
        rgba = resizeExactly(rgba.premultiply(), size).unpremultiply().cast(VIPS_FORMAT_UCHAR);
        std::size_t length = 0;
        std::unique_ptr<void, GFree> memory(rgba.write_to_memory(&length));
        if (!memory || length != static_cast<std::size_t>(size.width) * size.height * 4)
            return {};
        const auto* begin = static_cast<const std::uint8_t*>(memory.get());
        return {begin, begin + length};
    } catch (const vips::VError& error) {
        logVipsFailure("cannot decode picture", error);
        return {};
    }
}

bool resizePicture(KVImage& image, PictureSize size) {
    if (!image.isValid() || size.width <= 0 || size.height <= 0 || !startVips())
        return false;
    try {
        std::vector<std::uint8_t> rgb;
        return storeInto(resizeExactly(imageOf(image, rgb), size), image);
    } catch (const vips::VError& error) {
        logVipsFailure("cannot scale picture", error);
        return false;
    }
}

std::vector<std::uint8_t> encodePicturePng(const KVImage& image) {
    if (!image.isValid() || !startVips())
        return {};
    try {
        std::vector<std::uint8_t> rgb;
        void* buffer = nullptr;
        std::size_t length = 0;
        imageOf(image, rgb).write_to_buffer(".png", &buffer, &length, VImage::option()->set("strip", true));
        std::unique_ptr<void, GFree> owned(buffer);
        const auto* begin = static_cast<const std::uint8_t*>(buffer);
        return {begin, begin + length};
    } catch (const vips::VError& error) {
        logVipsFailure("cannot encode PNG", error);
        return {};
    }
}

} // namespace corvane::images
