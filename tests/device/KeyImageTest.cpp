#include "device/KeyImage.h"

#include <gtest/gtest.h>
#include <vector>

using namespace corvane::device;

namespace {

// A 48 x 48 bottom-up picture, `bpp` bytes a pixel, with one pixel of blue-green-red F8 FC 08 at (x, y),
// y counted from the top. The fourth byte of a 32-bit pixel is not the keyboard's concern.
std::vector<uint8_t> pictureWithPixel(unsigned x, unsigned y, unsigned bpp) {
    std::vector<uint8_t> pixels(48 * 48 * bpp, 0);
    const uint8_t pixel[] = {0x08, 0xFC, 0xF8, 0xEE};
    std::copy_n(pixel, bpp, pixels.data() + (47 - y) * 48 * bpp + x * bpp);
    return pixels;
}

} // namespace

TEST(KeyImage, PacksRgb565HighByteFirst) {
    EXPECT_EQ(encodeRgb565(0xFF, 0xFF, 0xFF), (std::array<uint8_t, 2>{0xFF, 0xFF}));
    EXPECT_EQ(encodeRgb565(0, 0, 0xF8), (std::array<uint8_t, 2>{0x00, 0x1F}));
    EXPECT_EQ(encodeRgb565(0x12, 0x34, 0x56), (std::array<uint8_t, 2>{0x11, 0xAA}));
    // Green 4...7 would light the lowest green step; it is written as 0. Green 8 keeps its bits.
    for (uint8_t g = 4; g < 8; ++g)
        EXPECT_EQ(encodeRgb565(0, g, 0), (std::array<uint8_t, 2>{0, 0})) << int(g);
    EXPECT_EQ(encodeRgb565(0, 8, 0), (std::array<uint8_t, 2>{0x00, 0x40}));
}

TEST(KeyImage, PixelsLandWhereTheDisplayShowsThemAndDecodingTurnsThemBack) {
    const struct {
        unsigned x, y, bpp;
        bool turned;
        unsigned row, column; // where the file holds the pixel
    } cases[] = {
        {5, 0, 3, false, 0, 5},   {5, 0, 4, false, 0, 5}, {3, 9, 3, false, 9, 3},
        {0, 0, 3, true, 0, 47},   // the top-left corner ends at the top right of a display turned clockwise
        {10, 40, 3, true, 10, 7}, // file (r, c) is the picture's pixel at column r, row 47 - c
        {3, 9, 3, true, 3, 38},
    };
    for (const auto& [x, y, bpp, turned, row, column] : cases) {
        SCOPED_TRACE(testing::Message() << x << "," << y << " bpp " << bpp << (turned ? " turned" : ""));
        KeyImageFile file{};
        convertKeyImage(pictureWithPixel(x, y, bpp), bpp, turned, file);
        EXPECT_EQ(file[(row * 48 + column) * 2], 0xFF);
        EXPECT_EQ(file[(row * 48 + column) * 2 + 1], 0xE1);
        EXPECT_EQ(std::count(file.begin(), file.end(), 0), long(file.size() - 2)); // nothing else lit
        const auto rgb = decodeKeyImage(file, turned);
        const uint8_t* p = rgb.data() + (y * 48 + x) * 3;
        EXPECT_EQ((std::array{p[0], p[1], p[2]}), (std::array<uint8_t, 3>{0xFF, 0xFF, 0x08}));
    }
}

TEST(KeyImage, ShortOrOddInputLeavesTheFileAlone) {
    KeyImageFile file;
    file.fill(0x5A);
    convertKeyImage(std::vector<uint8_t>(48 * 48 * 3 - 1, 0xFF), 3, false, file);
    convertKeyImage(std::vector<uint8_t>(48 * 48 * 2, 0xFF), 2, false, file);
    EXPECT_EQ(std::count(file.begin(), file.end(), 0x5A), long(file.size()));
}
