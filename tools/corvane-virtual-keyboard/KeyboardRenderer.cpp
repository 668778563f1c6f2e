#include "KeyboardRenderer.h"

#include "device/KeyTables.h"
#include "keyboard/KeyboardGeometry.h"

#include <cairo.h>
#include <cstdlib>
#include <cstring>
#include <spdlog/spdlog.h>

namespace corvane::vkbd {

void SurfaceDeleter::operator()(cairo_surface_t* surface) const {
    cairo_surface_destroy(surface);
}

std::filesystem::path drawingPath(std::uint32_t model) {
    const char* name = model == 1 ? "keypad.png" : "keyboard.png";
    if (const char* dir = std::getenv("CORVANE_DATA_DIR"); dir != nullptr && *dir != '\0')
        return std::filesystem::path(dir) / name;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return exe.parent_path().parent_path() / "share" / "corvane" / name;
}

Surface loadPng(const std::filesystem::path& path) {
    Surface png(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(png.get()) != CAIRO_STATUS_SUCCESS) {
        spdlog::error("cannot read the picture {}: {}", path.string(),
                      cairo_status_to_string(cairo_surface_status(png.get())));
        return {};
    }
    // Bring any PNG (RGB, grey, palette) into the one layout the painting below expects.
    Surface argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(png.get()),
                                            cairo_image_surface_get_height(png.get())));
    cairo_t* cr = cairo_create(argb.get());
    cairo_set_source_surface(cr, png.get(), 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return argb;
}

namespace {

std::uint32_t opaquePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, unsigned brightness) {
    const auto dim = [brightness](std::uint8_t v) {
        return static_cast<std::uint32_t>(v * brightness / 100);
    };
    return 0xFF000000u | dim(r) << 16 | dim(g) << 8 | dim(b);
}

void paintDisplay(unsigned char* data, int stride, int width, int height, const keyboard::KeyPlace& place,
                  const std::optional<DisplayPixels>& pixels, bool on, unsigned brightness) {
    const int side = keyboard::kDisplaySize;
    for (int row = 0; row < side; ++row) {
        const int y = place.y + row;
        if (y < 0 || y >= height)
            continue;
        auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int column = 0; column < side; ++column) {
            const int x = place.x + column;
            if (x < 0 || x >= width)
                continue;
            if (!on || !pixels) {
                line[x] = 0xFF000000u;
                continue;
            }
            const auto* p = pixels->data() + (row * side + column) * 3;
            line[x] = opaquePixel(p[0], p[1], p[2], brightness);
        }
    }
}

} // namespace

Surface renderKeyboard(cairo_surface_t* drawing, const FirmwareState& state) {
    const int width = cairo_image_surface_get_width(drawing);
    const int height = cairo_image_surface_get_height(drawing);
    Surface out(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(out.get());
    cairo_set_source_surface(cr, drawing, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);

    cairo_surface_flush(out.get());
    unsigned char* data = cairo_image_surface_get_data(out.get());
    const int stride = cairo_image_surface_get_stride(out.get());
    const auto& descriptor = device::modelDescriptor(state.model);
    const auto places = keyboard::keyPlaces(static_cast<int>(state.model));
    for (std::size_t key = 0; key < descriptor.keys.size() && key < places.size(); ++key) {
        const unsigned display = descriptor.keys[key].display;
        if (display == 0 || display > state.displays.size())
            continue;
        paintDisplay(data, stride, width, height, places[key], state.displays[display - 1],
                     state.displayOn[display - 1], state.brightness);
    }
    cairo_surface_mark_dirty(out.get());
    return out;
}

std::string savePng(cairo_surface_t* surface, const std::filesystem::path& path) {
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        return "cannot write " + path.string() + ": " + cairo_status_to_string(status);
    return {};
}

} // namespace corvane::vkbd
