#include "images/KVCanvas.h"

#include "core/Log.h"
#include "images/CairoPixels.h"
#include "images/PictureFormat.h"

#include <cstring>

bool KVCanvas::create(int width, int height) {
    if (isValid() && width == m_width && height == m_height) {
        clear();
        return true;
    }
    release();
    if (!corvane::images::declaredSizeAcceptable(width, height))
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cairo = cairo_create(surface);
    if (cairo_status(cairo) != CAIRO_STATUS_SUCCESS) {
        corvane::logger("images").error("cannot make a {} x {} canvas: {}", width, height,
                                        cairo_status_to_string(cairo_status(cairo)));
        cairo_destroy(cairo);
        cairo_surface_destroy(surface);
        return false;
    }
    m_surface = surface;
    m_cairo = cairo;
    m_width = width;
    m_height = height;
    clear();
    return true;
}

void KVCanvas::release() {
    if (m_cairo)
        cairo_destroy(m_cairo);
    if (m_surface)
        cairo_surface_destroy(m_surface);
    m_cairo = nullptr;
    m_surface = nullptr;
    m_width = 0;
    m_height = 0;
}

void KVCanvas::clear() {
    if (!isValid())
        return;
    cairo_save(m_cairo);
    cairo_reset_clip(m_cairo);
    cairo_set_operator(m_cairo, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(m_cairo, 0, 0, 0);
    cairo_paint(m_cairo);
    cairo_restore(m_cairo);
}

bool KVCanvas::drawImage(const KVImage& picture, int x, int y) {
    if (!isValid() || !picture.isValid())
        return false;
    cairo_surface_flush(m_surface);
    unsigned char* data = cairo_image_surface_get_data(m_surface);
    const int stride = cairo_image_surface_get_stride(m_surface);
    for (int row = 0; row < picture.height(); ++row) {
        const int targetY = y + row;
        if (targetY < 0 || targetY >= m_height)
            continue;
        const std::uint8_t* from = picture.scanLine(picture.height() - 1 - row);
        unsigned char* to = data + static_cast<std::size_t>(targetY) * static_cast<std::size_t>(stride);
        for (int column = 0; column < picture.width(); ++column, from += 3) {
            const int targetX = x + column;
            if (targetX < 0 || targetX >= m_width)
                continue;
            const std::uint32_t word = std::uint32_t{from[2]} << 16 | std::uint32_t{from[1]} << 8 | from[0];
            std::memcpy(to + static_cast<std::size_t>(targetX) * 4, &word, 4);
        }
    }
    cairo_surface_mark_dirty(m_surface);
    return true;
}

bool KVCanvas::copyFrom(const KVCanvas& other) {
    if (!isValid() || !other.isValid() || other.m_width != m_width || other.m_height != m_height)
        return false;
    cairo_surface_flush(other.m_surface);
    cairo_surface_flush(m_surface);
    const std::size_t bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(m_surface)) *
                              static_cast<std::size_t>(m_height);
    std::memcpy(cairo_image_surface_get_data(m_surface), cairo_image_surface_get_data(other.m_surface),
                bytes);
    cairo_surface_mark_dirty(m_surface);
    return true;
}

KVPtr<KVImage> KVCanvas::toImage() const {
    if (!isValid())
        return {};
    auto image = std::make_shared<KVImage>(m_width, m_height);
    if (!corvane::images::copySurfacePixels(m_surface, *image))
        return {};
    return image;
}
