// Drawing on a key's canvas with Cairo and Pango, straight into the configurator's pixel buffer.
#pragma once

#include <cairo.h>
#include <corvane/plugin.h>
#include <pango/pangocairo.h>
#include <string>

namespace corvane_plugins {

struct Colour {
    double red, green, blue;
};

// Cairo context on the canvas for the lifetime of the painter.
class KeyPainter {
public:
    explicit KeyPainter(KVPluginCanvas* canvas)
        : surface_(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(canvas->pixels),
                                                       CAIRO_FORMAT_ARGB32, canvas->width, canvas->height,
                                                       canvas->stride)),
          cr_(cairo_create(surface_)), width_(canvas->width), height_(canvas->height) {}
    KeyPainter(const KeyPainter&) = delete;
    KeyPainter& operator=(const KeyPainter&) = delete;
    ~KeyPainter() {
        cairo_destroy(cr_);
        cairo_surface_flush(surface_);
        cairo_surface_destroy(surface_);
    }

    cairo_t* cr() const { return cr_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void fill(Colour c) {
        cairo_save(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgb(cr_, c.red, c.green, c.blue);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }

    void rectangle(double x, double y, double w, double h, Colour c) {
        cairo_set_source_rgb(cr_, c.red, c.green, c.blue);
        cairo_rectangle(cr_, x, y, w, h);
        cairo_fill(cr_);
    }

    // Centres `text` (lines broken at '\n') in the box, in the largest bold size up to `maxPixels`
    // that fits, so "12:34" fills a key and a long name still shows whole.
    void text(const std::string& text, double x, double y, double w, double h, Colour c,
              double maxPixels = 20) {
        PangoLayout* layout = pango_cairo_create_layout(cr_);
        pango_layout_set_text(layout, text.c_str(), -1);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        PangoFontDescription* font = pango_font_description_from_string("Sans Bold");
        int inkWidth = 0, inkHeight = 0;
        for (double size = maxPixels; size >= 6; size -= 1) {
            pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
            pango_layout_set_font_description(layout, font);
            pango_layout_get_pixel_size(layout, &inkWidth, &inkHeight);
            if (inkWidth <= w && inkHeight <= h)
                break;
        }
        cairo_set_source_rgb(cr_, c.red, c.green, c.blue);
        cairo_move_to(cr_, x + (w - inkWidth) / 2, y + (h - inkHeight) / 2);
        pango_cairo_show_layout(cr_, layout);
        pango_font_description_free(font);
        g_object_unref(layout);
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    int width_;
    int height_;
};

} // namespace corvane_plugins
