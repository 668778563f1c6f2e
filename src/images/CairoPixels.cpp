#include "images/CairoPixels.h"

#include <cstring>

namespace corvane::images {

bool copySurfacePixels(cairo_surface_t* surface, KVImage& into) {
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if ((format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) ||
        cairo_image_surface_get_width(surface) != into.width() ||
        cairo_image_surface_get_height(surface) != into.height())
        return false;
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < into.height(); ++y) {
        const unsigned char* from = data + static_cast<std::size_t>(y) * stride;
        std::uint8_t* to = into.scanLine(into.height() - 1 - y);
        for (int x = 0; x < into.width(); ++x, from += 4, to += 3) {
            // Native 32-bit words 0xAARRGGBB.
            std::uint32_t word;
            std::memcpy(&word, from, 4);
            to[0] = static_cast<std::uint8_t>(word);
            to[1] = static_cast<std::uint8_t>(word >> 8);
            to[2] = static_cast<std::uint8_t>(word >> 16);
        }
    }
    return true;
}

} // namespace corvane::images
