// The key places against the points the editor and the picture import rely on, and the drawing built
// from them.
#include "keyboard/KeyboardGeometry.h"

#include <cairo.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace corvane::keyboard;

namespace {

TEST(KeyPlaces, AgreeWithTheKnownPoints) {
    const std::array<std::tuple<unsigned, int, int>, 4> known{
        {{0, 46, 41}, {15, 1002, 41}, {18, 140, 113}, {112, 1233, 288}}};
    for (const auto& [key, x, y] : known) {
        EXPECT_EQ(kMainKeyPlaces[key].x, x) << key;
        EXPECT_EQ(kMainKeyPlaces[key].y, y) << key;
    }
    // The key picker splits left Shift between the two halves of its cap.
    EXPECT_EQ(kMainKeyPlaces[82].x - 26, kMainKeyPlaces[82].capX);
}

TEST(KeyPlaces, DisplaysSitInsideTheirCapsNeverOverlapAndAreDarkWindowsOfTheDrawing) {
    for (int model : {0, 1}) {
        const auto places = keyPlaces(model);
        const auto size = drawingSize(model);
        const std::string path =
            std::string(CORVANE_KEYBOARD_DATA_DIR) + (model == 0 ? "/keyboard.png" : "/keypad.png");
        cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS) << path;
        EXPECT_EQ(cairo_image_surface_get_width(png), size.width);
        EXPECT_EQ(cairo_image_surface_get_height(png), size.height);
        for (std::size_t a = 0; a < places.size(); ++a) {
            const auto& p = places[a];
            EXPECT_GE(p.x, p.capX) << a;
            EXPECT_GE(p.y, p.capY) << a;
            EXPECT_LE(p.x + kDisplaySize, p.capX + p.capWidth) << a;
            EXPECT_LE(p.y + kDisplaySize, p.capY + p.capHeight) << a;
            EXPECT_LE(p.capX + p.capWidth, size.width) << a;
            EXPECT_LE(p.capY + p.capHeight, size.height) << a;
            EXPECT_LE(p.row, 5) << a;
            for (std::size_t b = a + 1; b < places.size(); ++b) {
                const auto& q = places[b];
                const bool apart = p.capX + p.capWidth <= q.capX || q.capX + q.capWidth <= p.capX ||
                                   p.capY + p.capHeight <= q.capY || q.capY + q.capHeight <= p.capY;
                EXPECT_TRUE(apart) << "caps of keys " << a << " and " << b << " overlap";
            }
            std::uint32_t centre;
            std::memcpy(&centre,
                        cairo_image_surface_get_data(png) + (p.y + 24) * cairo_image_surface_get_stride(png) +
                            (p.x + 24) * 4,
                        4);
            EXPECT_EQ(centre >> 24, 0xFFu);
            EXPECT_LT(centre & 0xFF, 0x10u) << "display at " << p.x << "," << p.y;
        }
        cairo_surface_destroy(png);
    }
    EXPECT_TRUE(keyPlaces(2).empty());
}

} // namespace
