#include "images/LoadKeyImage.h"

#include "images/BuiltInPictures.h"
#include "images/PictureFormat.h"
#include "support/TempDir.h"

#include <array>
#include <gtest/gtest.h>
#include <random>

namespace {

const std::string kData = std::string(CORVANE_TEST_DATA) + "/images/";

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    const auto text = readWholeFile(path);
    return {text.begin(), text.end()};
}

// Writes `bytes` into the folder and answers the file's path.
std::string scratch(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    writeWholeFile(dir / name, {bytes.begin(), bytes.end()});
    return dir / name;
}

// Blue, green, red of the pixel at (x, y) counted from the top.
std::array<int, 3> bgrAt(const KVImage& image, int x, int y) {
    const std::uint8_t* pixel = image.scanLine(image.height() - 1 - y) + x * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

void expectNear(std::array<int, 3> actual, std::array<int, 3> expected, int tolerance) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}

TEST(LoadKeyImage, PngsAreStretchedToTheKeyAndTheirTransparentPartsAreBlack) {
    // Beyond a megapixel a PNG takes the streaming decoder rather than the direct one.
    KVImage large(1200, 1000);
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            large.scanLine(y)[x * 3 + (x < 600 ? 2 : 0)] = 255;
    TempDir folder;
    ASSERT_TRUE(large.save(folder / "large.png"));

    struct Probe {
        int x, y;
        std::array<int, 3> bgr;
    };
    const std::pair<std::string, std::vector<Probe>> cases[] = {
        // Red on the left and blue on the right reach the top and bottom rows: stretched, not letterboxed.
        {kData + "wide-100x50.png",
         {{2, 0, {0, 0, 255}}, {45, 0, {255, 0, 0}}, {2, 47, {0, 0, 255}}, {45, 47, {255, 0, 0}}}},
        {folder / "large.png", {{2, 10, {0, 0, 255}}, {45, 40, {255, 0, 0}}}},
        {kData + "alpha-40x40.png", {{24, 2, {0, 255, 0}}, {24, 45, {0, 0, 0}}}},
    };
    for (const auto& [path, probes] : cases) {
        SCOPED_TRACE(path);
        const auto image = LoadKeyImage(path);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->isKeySized());
        EXPECT_EQ(image->sourcePath(), path);
        for (const auto& probe : probes)
            expectNear(bgrAt(*image, probe.x, probe.y), probe.bgr, 2);
    }
}

TEST(LoadKeyImage, EveryAcceptedFormatLoadsAsTheKeyPicture) {
    for (const char* name : {"orange-64.jpg", "orange-64.gif", "orange-64.bmp", "orange-64.tif",
                             "orange-64.webp", "orange-64.psd", "grey16-64.png"}) {
        SCOPED_TRACE(name);
        const auto image = LoadKeyImage(kData + name);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->isKeySized());
        if (std::string_view(name).starts_with("orange"))
            expectNear(bgrAt(*image, 24, 24), {0, 128, 255}, 8);
        else
            expectNear(bgrAt(*image, 24, 24), {255, 255, 255}, 2);
    }
}

TEST(LoadKeyImage, ActionNamesAreBuiltInPicturesWhateverTheirCase) {
    const auto upper = LoadKeyImage("ACTION_MEDIA_MUTE");
    const auto mixed = LoadKeyImage("ACTION_Media_mute");
    ASSERT_TRUE(upper && mixed);
    EXPECT_TRUE(upper->samePixels(*mixed));
    EXPECT_FALSE(LoadKeyImage("ACTION_MY_COMPUTER"));
    EXPECT_FALSE(LoadKeyImage("ACTION_"));
}

TEST(LoadKeyImage, ActionPicturesAreDrawnAndDistinct) {
    const auto names = corvane::images::builtInActionNames();
    std::vector<KVPtr<KVImage>> pictures;
    for (auto name : names) {
        auto picture = LoadKeyImage(std::string(name));
        ASSERT_TRUE(picture) << name;
        // Something is drawn: a good share of the pixels is not black.
        const auto px = picture->pixels();
        EXPECT_GT(std::count_if(px.begin(), px.end(), [](std::uint8_t b) { return b > 64; }), 150) << name;
        for (const auto& other : pictures)
            EXPECT_FALSE(other->samePixels(*picture)) << name;
        pictures.push_back(picture);
    }
}

TEST(LoadKeyImage, MissingDamagedAndForeignFilesGiveNothing) {
    const auto png = fileBytes(kData + "wide-100x50.png");
    ASSERT_GT(png.size(), 60u);
    std::vector<std::uint8_t> truncated(png.begin(),
                                        png.begin() + static_cast<std::ptrdiff_t>(png.size() - 30));
    std::vector<std::uint8_t> noise(4096);
    std::mt19937 random(7);
    for (auto& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    const std::string ppm = "P6\n2 2\n255\n000000000000";
    const std::vector<std::uint8_t> foreign(ppm.begin(), ppm.end());

    TempDir dir;
    const auto half = [](const std::vector<std::uint8_t>& bytes) {
        return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
    };
    for (const auto& path : {scratch(dir, "truncated.png", truncated), scratch(dir, "noise.png", noise),
                             scratch(dir, "picture.ppm", foreign), scratch(dir, "empty.png", {}),
                             scratch(dir, "truncated.jpg", half(fileBytes(kData + "orange-64.jpg"))),
                             scratch(dir, "truncated.bmp", half(fileBytes(kData + "orange-64.bmp"))),
                             kData + "no-such-picture.png", kData, std::string()})
        EXPECT_FALSE(LoadKeyImage(path)) << path;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// The PNG of `bytes` with the header chunk claiming another size (and a correct checksum).
std::vector<std::uint8_t> pngClaiming(std::vector<std::uint8_t> bytes, std::uint32_t width,
                                      std::uint32_t height) {
    constexpr std::size_t kIhdrType = 12, kIhdrData = 16, kIhdrCrc = 29;
    putBigEndian(bytes, kIhdrData, width);
    putBigEndian(bytes, kIhdrData + 4, height);
    putBigEndian(bytes, kIhdrCrc, crc32(bytes.data() + kIhdrType, 4 + 13));
    return bytes;
}

TEST(LoadKeyImage, AbsurdDeclaredSizesAreRefused) {
    const auto png = fileBytes(kData + "wide-100x50.png");
    TempDir dir;
    EXPECT_FALSE(LoadKeyImage(scratch(dir, "tall.png", pngClaiming(png, 1, 1'000'000))));
    EXPECT_FALSE(LoadKeyImage(scratch(dir, "huge.png", pngClaiming(png, 15000, 15000))));

    auto bmp = fileBytes(kData + "orange-64.bmp");
    bmp[18 + 2] = 0x7F; // width 64 + 0x7F0000
    EXPECT_FALSE(LoadKeyImage(scratch(dir, "wide.bmp", bmp)));

    EXPECT_FALSE(corvane::images::declaredSizeAcceptable(0, 10));
    EXPECT_TRUE(corvane::images::declaredSizeAcceptable(6000, 4000));
}

} // namespace
