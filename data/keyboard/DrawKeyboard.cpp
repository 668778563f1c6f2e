// Draws the keyboard pictures that the editor and the virtual keyboard put the key images on:
// the case, every key cap and every display window (dark, as with no image), nothing else.
#include "keyboard/KeyboardGeometry.h"

#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using corvane::keyboard::KeyPlace;

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -1.5708, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, 1.5708);
    cairo_arc(cr, x + r, y + h - r, r, 1.5708, 3.14159);
    cairo_arc(cr, x + r, y + r, r, 3.14159, 4.71239);
    cairo_close_path(cr);
}

struct Grey {
    double r, g, b;
};

// Fills the current path lit from above (lighter at the top) and outlines it.
void fillLitFromAbove(cairo_t* cr, double y, double h, Grey top, Grey bottom, Grey outline) {
    cairo_pattern_t* light = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(light, 0.0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(light, 1.0, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, light);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(light);
    cairo_set_source_rgb(cr, outline.r, outline.g, outline.b);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

void drawCase(cairo_t* cr, int width, int height) {
    const double x = 6.5, y = 8.5, w = width - 13.0, h = height - 17.0;
    roundedRect(cr, x, y, w, h, 18);
    fillLitFromAbove(cr, y, h, {0.235, 0.247, 0.267}, {0.129, 0.137, 0.149}, {0.05, 0.05, 0.06});
    // A faint rim light along the top edge makes the case read as a solid object.
    roundedRect(cr, x + 2, y + 2, w - 4, h - 4, 16);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    cairo_stroke(cr);
}

void drawCap(cairo_t* cr, const KeyPlace& key) {
    const double x = key.capX + 0.5, y = key.capY + 0.5;
    const double w = key.capWidth - 1.0, h = key.capHeight - 1.0;
    roundedRect(cr, x, y, w, h, 4);
    fillLitFromAbove(cr, y, h, {0.204, 0.212, 0.231}, {0.161, 0.169, 0.184}, {0.04, 0.04, 0.05});
}

void drawDisplay(cairo_t* cr, const KeyPlace& key) {
    const int size = corvane::keyboard::kDisplaySize;
    cairo_rectangle(cr, key.x, key.y, size, size);
    cairo_set_source_rgb(cr, 0.02, 0.02, 0.025);
    cairo_fill(cr);
    cairo_rectangle(cr, key.x + 0.5, key.y + 0.5, size - 1, size - 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// Num, Caps and Scroll lamps above the keypad, drawn unlit.
void drawLamps(cairo_t* cr) {
    for (int i = 0; i < 3; ++i) {
        cairo_arc(cr, 1126 + 50 * i, 65, 3.5, 0, 6.28318);
        cairo_set_source_rgb(cr, 0.11, 0.2, 0.13);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.04, 0.05, 0.04);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
}

void drawBadge(cairo_t* cr, int width, int height) {
    roundedRect(cr, width / 2.0 - 40.5, height - 40.5, 81, 14, 7);
    cairo_set_source_rgb(cr, 0.09, 0.094, 0.102);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[2]) != "0" && std::string(argv[2]) != "1")) {
        std::fprintf(stderr, "usage: %s OUT.png 0|1\n", argc > 0 ? argv[0] : "corvane-draw-keyboard");
        return 2;
    }
    const int model = std::atoi(argv[2]);
    const auto size = corvane::keyboard::drawingSize(model);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
    cairo_t* cr = cairo_create(surface);
    drawCase(cr, size.width, size.height);
    for (const auto& key : corvane::keyboard::keyPlaces(model)) {
        drawCap(cr, key);
        drawDisplay(cr, key);
    }
    if (model == 0) {
        drawLamps(cr);
        drawBadge(cr, size.width, size.height);
    }
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot write %s: %s\n", argv[1], cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
