// What the renderer shows for known display files: exact pixels at a key's place, the turned displays
// turned back, dark displays where the map is off or nothing was written, and dimming.
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
using corvane::keyboard::kMainKeyPlaces;

namespace {

constexpr unsigned kKeyA = 64, kDisplayA = 83;
constexpr unsigned kKeyEnter = 112, kDisplayEnter = 3;
constexpr unsigned kKeyPlus = 79, kDisplayPlus = 14;
constexpr std::uint32_t kBackground = 0xFF406080;

// A display file: 48 x 48 pixels, top row first, 5-6-5 with the high byte first.
struct DisplayFile {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(4608, 0);
    void set(int row, int column, std::uint8_t high, std::uint8_t low) {
        bytes[(row * 48 + column) * 2] = high;
        bytes[(row * 48 + column) * 2 + 1] = low;
    }
};

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(initVirtualKeyboard(folder.path(), {}), "");
        drawing.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1304, 425));
        cairo_t* cr = cairo_create(drawing.get());
        cairo_set_source_rgb(cr, 0x40 / 255.0, 0x60 / 255.0, 0x80 / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }

    void writeDisplay(unsigned display, const DisplayFile& file) {
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.display(display), file.bytes));
    }
    void writeMap(std::uint8_t value, int darkDisplay = 0) {
        std::vector<std::uint8_t> map(114, value);
        if (darkDisplay > 0)
            map[darkDisplay - 1] = 0;
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.displayMap(), map));
    }
    void writeOrder(const std::string& command) {
        std::vector<std::uint8_t> bytes(command.begin(), command.end());
        bytes.resize(512, 0); // the command ends at the first zero
        ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.order(), bytes));
    }

    void render(std::uint32_t model = 0, std::optional<unsigned> remembered = std::nullopt) {
        picture = renderKeyboard(drawing.get(), readFirmwareState(folder.path(), model, remembered));
        cairo_surface_flush(picture.get());
    }
    std::uint32_t pixel(int x, int y) const {
        const auto* data = cairo_image_surface_get_data(picture.get());
        std::uint32_t value;
        std::memcpy(&value, data + y * cairo_image_surface_get_stride(picture.get()) + x * 4, 4);
        return value;
    }
    std::uint32_t keyPixel(unsigned key, int column, int row) const {
        return pixel(kMainKeyPlaces[key].x + column, kMainKeyPlaces[key].y + row);
    }

    TestKeyboardFolder folder{""};
    Surface drawing;
    Surface picture;
};

TEST_F(RenderTest, DecodesDisplayPixelsExactlyAtTheKeysPlaceAndOnlyForDrivenWholeFiles) {
    const struct {
        int row, column;
        std::uint8_t high, low;
        std::uint32_t shown;
    } cases[] = {{0, 0, 0xF8, 0x00, 0xFFFF0000u},   {0, 1, 0x07, 0xE0, 0xFF00FF00u},
                 {0, 2, 0x00, 0x1F, 0xFF0000FFu},   {0, 4, 0x00, 0x00, 0xFF000000u},
                 {47, 47, 0x84, 0x10, 0xFF848284u}, // the middle of every channel
                 {20, 9, 0x00, 0x20, 0xFF000400u}}; // green's lowest step
    DisplayFile file;
    for (const auto& c : cases)
        file.set(c.row, c.column, c.high, c.low);
    writeDisplay(kDisplayA, file);
    DisplayFile white;
    for (int i = 0; i < 48 * 48; ++i)
        white.set(i / 48, i % 48, 0xFF, 0xFF);
    writeDisplay(1, white); // Keypad0
    render();
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFF000000u) << "no map yet: nobody drives the displays";

    writeMap(1);
    render();
    for (const auto& c : cases)
        EXPECT_EQ(keyPixel(kKeyA, c.column, c.row), c.shown) << c.row << "," << c.column;
    // Nothing outside the display changes.
    EXPECT_EQ(pixel(kMainKeyPlaces[kKeyA].x - 1, kMainKeyPlaces[kKeyA].y), kBackground);
    EXPECT_EQ(pixel(kMainKeyPlaces[kKeyA].x + 48, kMainKeyPlaces[kKeyA].y + 47), kBackground);
    // Escape's display (99) has no file: dark, not the drawing.
    EXPECT_EQ(keyPixel(0, 10, 10), 0xFF000000u);

    writeMap(1, kDisplayA);
    render();
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFF000000u);
    EXPECT_EQ(keyPixel(110, 10, 10), 0xFFFFFFFFu);
    // A file cut short is not shown.
    ASSERT_TRUE(writeFile(FolderPaths{folder.path()}.display(1), std::vector<std::uint8_t>(4607, 0xFF)));
    render();
    EXPECT_EQ(keyPixel(110, 10, 10), 0xFF000000u);
}

TEST_F(RenderTest, TurnsTheTurnedDisplaysBackOnTheMainKeyboardOnly) {
    // A turned file holds at row r, column c the picture's pixel at column r, row 47 - c.
    DisplayFile file;
    file.set(0, 0, 0xF8, 0x00);  // the picture's bottom-left corner
    file.set(5, 47, 0x00, 0x1F); // the picture's top row, column 5
    writeDisplay(kDisplayEnter, file);
    writeDisplay(kDisplayPlus, file);
    writeMap(1);
    render(0);
    for (unsigned key : {kKeyEnter, kKeyPlus}) {
        EXPECT_EQ(keyPixel(key, 0, 47), 0xFFFF0000u) << key;
        EXPECT_EQ(keyPixel(key, 5, 0), 0xFF0000FFu) << key;
        EXPECT_EQ(keyPixel(key, 0, 0), 0xFF000000u) << key;
    }

    // On the keypad display 3 belongs to key A7 and is mounted upright.
    ASSERT_EQ(initVirtualKeyboard(folder.path(), {.firmware = "TavirexV0.76b", .model = 1}), "");
    render(1);
    const auto& place = corvane::keyboard::kKeypadKeyPlaces[6];
    EXPECT_EQ(pixel(place.x, place.y), 0xFFFF0000u);
    EXPECT_EQ(pixel(place.x + 47, place.y + 5), 0xFF0000FFu);
}

TEST_F(RenderTest, DimsByTheLastWellFormedBrightnessCommand) {
    DisplayFile file;
    file.set(0, 0, 0xFF, 0xFF);
    file.set(0, 1, 0x84, 0x10);
    writeDisplay(kDisplayA, file);
    writeMap(1);

    writeOrder("b050");
    render();
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFF7F7F7Fu);
    EXPECT_EQ(keyPixel(kKeyA, 1, 0), 0xFF424142u);

    writeOrder("b070A");
    render();
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFFB2B2B2u);

    // A later sleep command leaves the brightness the viewer remembered, else full brightness.
    writeOrder("s0420");
    render(0, 30);
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFF4C4C4Cu);
    render(0);
    EXPECT_EQ(keyPixel(kKeyA, 0, 0), 0xFFFFFFFFu);

    const auto parse = [](const std::string& text) {
        return brightnessOfCommand(std::vector<std::uint8_t>(text.c_str(), text.c_str() + text.size() + 1));
    };
    EXPECT_EQ(parse("b150"), 100u); // the firmware takes no more than full brightness
    for (const char* other : {"s9999", "b07", "b0x0", "b070B"})
        EXPECT_EQ(parse(other), std::nullopt) << other;
    EXPECT_EQ(brightnessOfCommand(std::vector<std::uint8_t>{'b', '1', '0', '0'}), std::nullopt)
        << "unterminated";
}

} // namespace
