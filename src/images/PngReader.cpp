#include "images/PngReader.h"

#include "core/Log.h"
#include "images/CairoPixels.h"

#include <cstring>
#include <memory>

namespace corvane::images {
namespace {

struct ByteReader {
    std::span<const std::uint8_t> left;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<ByteReader*>(closure);
    if (length > reader->left.size())
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->left.data(), length);
    reader->left = reader->left.subspan(length);
    return CAIRO_STATUS_SUCCESS;
}

struct SurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

} // namespace

std::optional<KVImage> readPngDirect(std::span<const std::uint8_t> bytes) {
    ByteReader reader{bytes};
    std::unique_ptr<cairo_surface_t, SurfaceRelease> surface(
        cairo_image_surface_create_from_png_stream(readBytes, &reader));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        corvane::logger("images").warn("cannot read PNG: {}",
                                       cairo_status_to_string(cairo_surface_status(surface.get())));
        return std::nullopt;
    }
    KVImage picture(cairo_image_surface_get_width(surface.get()),
                    cairo_image_surface_get_height(surface.get()));
    if (!picture.isValid() || !copySurfacePixels(surface.get(), picture))
        return std::nullopt;
    return picture;
}

} // namespace corvane::images
