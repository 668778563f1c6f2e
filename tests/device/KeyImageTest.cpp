#include "device/KeyImage.h"

#include <gtest/gtest.h>
#include <vector>

using namespace corvane::device;

namespace {

// A 48 x 48 bottom-up BGR picture with one pixel set at (x, y), y counted from the top.
std::vector<uint8_t> pictureWithPixel(unsigned x, unsigned y, uint8_t r, uint8_t g, uint8_t b,
                                      unsigned bpp = 3) {
    std::vector<uint8_t> pixels(48 * 48 * bpp, 0);
    uint8_t* p = pixels.data() + (47 - y) * 48 * bpp + x * bpp;
    p[0] = b;
    p[1] = g;
    p[2] = r;
    if (bpp == 4)
        p[3] = 0xEE;
    return pixels;
}

std::pair<uint8_t, uint8_t> filePixel(const KeyImageFile& file, unsigned row, unsigned column) {
    return {file[(row * 48 + column) * 2], file[(row * 48 + column) * 2 + 1]};
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

// Decoding must turn back what converting turned.
TEST(KeyImage, PlainPicturesKeepTheirPlaceTurnedOnesGoClockwiseAndDecodingTurnsBack) {
    KeyImageFile file{};
    for (unsigned bpp : {3u, 4u}) {
        convertKeyImage(pictureWithPixel(5, 0, 0xFF, 0, 0, bpp), bpp, false, file);
        EXPECT_EQ(filePixel(file, 0, 5), std::make_pair(uint8_t(0xF8), uint8_t(0x00))) << bpp;
        EXPECT_EQ(filePixel(file, 47, 5), std::make_pair(uint8_t(0), uint8_t(0))) << bpp;
    }
    // The picture's top-left corner ends at the top-right of a display turned clockwise.
    convertKeyImage(pictureWithPixel(0, 0, 0xFF, 0xFF, 0xFF), 3, true, file);
    EXPECT_EQ(filePixel(file, 0, 47), std::make_pair(uint8_t(0xFF), uint8_t(0xFF)));
    EXPECT_EQ(filePixel(file, 0, 0), std::make_pair(uint8_t(0), uint8_t(0)));
    // File (r, c) is the picture's pixel at column r, row 47 - c.
    convertKeyImage(pictureWithPixel(10, 40, 0xFF, 0, 0), 3, true, file);
    EXPECT_EQ(filePixel(file, 10, 7), std::make_pair(uint8_t(0xF8), uint8_t(0)));

    for (bool turned : {false, true}) {
        convertKeyImage(pictureWithPixel(3, 9, 0xF8, 0xFC, 0x08), 3, turned, file);
        const auto rgb = decodeKeyImage(file, turned);
        const uint8_t* p = rgb.data() + (9 * 48 + 3) * 3;
        EXPECT_EQ(p[0], 0xFF) << turned;
        EXPECT_EQ(p[1], 0xFF) << turned;
        EXPECT_EQ(p[2], 0x08) << turned;
    }
}

TEST(KeyImage, ShortOrOddInputLeavesTheFileAlone) {
    KeyImageFile file;
    file.fill(0x5A);
    std::vector<uint8_t> tooShort(48 * 48 * 3 - 1, 0xFF);
    convertKeyImage(tooShort, 3, false, file);
    convertKeyImage(std::vector<uint8_t>(48 * 48 * 2, 0xFF), 2, false, file);
    for (uint8_t byte : file)
        ASSERT_EQ(byte, 0x5A);
}
