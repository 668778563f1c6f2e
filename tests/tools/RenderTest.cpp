// What the renderer shows: exact pixels, turned displays turned back, dark ones where nothing drives them.
#include "FirmwareState.h"
#include "KeyboardRenderer.h"
#include "VirtualKeyboardFolder.h"
#include "device/TestFolder.h"
#include "keyboard/KeyboardGeometry.h"

#include <cairo.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace corvane::vkbd;
using corvane::keyboard::KeyPlace;
using corvane::keyboard::kMainKeyPlaces;

namespace {

// One pixel of a display file (48 x 48 pixels, top row first, 5-6-5 with the high byte first) and the colour
// it shows.
struct Pixel {
    int row, column;
    std::uint8_t high, low;
    std::uint32_t shown = 0;
};

std::vector<std::uint8_t> displayFile(const std::vector<Pixel>& pixels, std::uint8_t rest = 0) {
    std::vector<std::uint8_t> bytes(4608, rest);
    for (const Pixel& p : pixels) {
        bytes[(p.row * 48 + p.column) * 2] = p.high;
        bytes[(p.row * 48 + p.column) * 2 + 1] = p.low;
    }
    return bytes;
}

// The folder rendered on a blank drawing, read at a key's display.
struct Rendered {
    Rendered(const std::filesystem::path& folder, std::uint32_t model) {
        Surface drawing(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1304, 425));
        picture = renderKeyboard(drawing.get(), readFirmwareState(folder, model, std::nullopt));
        cairo_surface_flush(picture.get());
    }
    std::uint32_t operator()(const KeyPlace& place, int column, int row) const {
        std::uint32_t value;
        std::memcpy(&value,
                    cairo_image_surface_get_data(picture.get()) +
                        (place.y + row) * cairo_image_surface_get_stride(picture.get()) +
                        (place.x + column) * 4,
                    4);
        return value;
    }
    Surface picture;
};

TEST(Render, DecodesPixelsExactlyOnlyForDrivenWholeFilesAndTurnsTheTurnedDisplaysBack) {
    TestKeyboardFolder folder{""};
    const FolderPaths paths{folder.path()};
    ASSERT_EQ(initVirtualKeyboard(folder.path(), {}), "");
    const KeyPlace &a = kMainKeyPlaces[64], &escape = kMainKeyPlaces[0], &keypad0 = kMainKeyPlaces[110];
    const std::vector<Pixel> cases = {{0, 0, 0xF8, 0x00, 0xFFFF0000u},   {0, 1, 0x07, 0xE0, 0xFF00FF00u},
                                      {0, 2, 0x00, 0x1F, 0xFF0000FFu},   {0, 4, 0x00, 0x00, 0xFF000000u},
                                      {47, 47, 0x84, 0x10, 0xFF848284u}, // the middle of every channel
                                      {20, 9, 0x00, 0x20, 0xFF000400u}}; // green's lowest step
    ASSERT_TRUE(writeFile(paths.display(83), displayFile(cases)));
    ASSERT_TRUE(writeFile(paths.display(1), displayFile({}, 0xFF)));
    EXPECT_EQ(Rendered(folder.path(), 0)(a, 0, 0), 0xFF000000u) << "no map yet: nobody drives the displays";

    // A turned file holds at row r, column c the picture's pixel at column r, row 47 - c: Enter and Plus.
    const auto turned = displayFile({{0, 0, 0xF8, 0x00}, {5, 47, 0x00, 0x1F}});
    ASSERT_TRUE(writeFile(paths.display(3), turned) && writeFile(paths.display(14), turned));
    std::vector<std::uint8_t> map(114, 1);
    ASSERT_TRUE(writeFile(paths.displayMap(), map));
    const Rendered driven(folder.path(), 0);
    for (const auto& c : cases)
        EXPECT_EQ(driven(a, c.column, c.row), c.shown) << c.row << "," << c.column;
    EXPECT_EQ(driven(escape, 10, 10), 0xFF000000u) << "no file: dark, not the drawing";
    for (unsigned key : {112, 79}) {
        EXPECT_EQ(driven(kMainKeyPlaces[key], 0, 47), 0xFFFF0000u) << key;
        EXPECT_EQ(driven(kMainKeyPlaces[key], 5, 0), 0xFF0000FFu) << key;
        EXPECT_EQ(driven(kMainKeyPlaces[key], 0, 0), 0xFF000000u) << key;
    }

    map[83 - 1] = 0;
    ASSERT_TRUE(writeFile(paths.displayMap(), map));
    const Rendered oneOff(folder.path(), 0);
    EXPECT_EQ(oneOff(a, 0, 0), 0xFF000000u);
    EXPECT_EQ(oneOff(keypad0, 10, 10), 0xFFFFFFFFu);
    ASSERT_TRUE(writeFile(paths.display(1), std::vector<std::uint8_t>(4607, 0xFF)));
    EXPECT_EQ(Rendered(folder.path(), 0)(keypad0, 10, 10), 0xFF000000u) << "a file cut short is not shown";
}

} // namespace
