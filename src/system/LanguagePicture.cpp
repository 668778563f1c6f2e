#include "system/LanguagePicture.h"

#include "core/Log.h"

#include <algorithm>
#include <cairo.h>
#include <cstring>
#include <memory>
#include <pango/pangocairo.h>

namespace corvane {
namespace {

constexpr int kSize = KVGlobalImageList::kIconSize;
// The selection colours of the desktop's default theme.
constexpr double kHighlight[3] = {0x30 / 255.0, 0x8C / 255.0, 0xC6 / 255.0};
constexpr double kHighlightText[3] = {1.0, 1.0, 1.0};
constexpr int kTextHeight = 12;
constexpr int kSmallestTextHeight = 8;
constexpr int kCentreX = 9;
constexpr int kTop = 2;

} // namespace

std::optional<KVGlobalImageList::Icon> drawLanguagePicture(std::string_view abbreviation) {
    if (abbreviation.empty())
        return std::nullopt;
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize, kSize), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) {
        corvane::logger("system").error("language picture: no drawing surface");
        return std::nullopt;
    }
    cairo_set_source_rgb(cr.get(), kHighlight[0], kHighlight[1], kHighlight[2]);
    cairo_paint(cr.get());

    std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_cairo_create_layout(cr.get()),
                                                                   g_object_unref);
    std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> font(
        pango_font_description_from_string("Tahoma, DejaVu Sans, Sans"), pango_font_description_free);
    pango_font_description_set_weight(font.get(), PANGO_WEIGHT_NORMAL);
    pango_layout_set_text(layout.get(), abbreviation.data(), static_cast<int>(abbreviation.size()));

    // Wide letters in a wide fallback face would be cut at the edges: such text is drawn smaller.
    PangoRectangle ink{};
    for (int height = kTextHeight; height >= kSmallestTextHeight; --height) {
        pango_font_description_set_absolute_size(font.get(), height * PANGO_SCALE);
        pango_layout_set_font_description(layout.get(), font.get());
        pango_layout_get_pixel_extents(layout.get(), &ink, nullptr);
        if (ink.width <= kSize - 1)
            break;
    }
    // Place the ink, not the line box: its top on y = 2 and its middle on x = 9, unless that would push
    // it over the right edge.
    const double left = std::clamp(kCentreX - ink.width / 2.0, 0.0, static_cast<double>(kSize - ink.width));
    cairo_move_to(cr.get(), left - ink.x, kTop - ink.y);
    cairo_set_source_rgb(cr.get(), kHighlightText[0], kHighlightText[1], kHighlightText[2]);
    pango_cairo_show_layout(cr.get(), layout.get());
    cairo_surface_flush(surface.get());

    KVGlobalImageList::Icon icon{};
    const auto* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, data + y * stride + x * 4, 4);
            auto* out = &icon[static_cast<std::size_t>((y * kSize + x) * 4)];
            out[0] = static_cast<uint8_t>(pixel >> 16);
            out[1] = static_cast<uint8_t>(pixel >> 8);
            out[2] = static_cast<uint8_t>(pixel);
            out[3] = 0xFF;
        }
    }
    return icon;
}

} // namespace corvane
