#include "images/LoadKeyImage.h"

#include "images/BuiltInPictures.h"
#include "images/PictureFormat.h"
#include "support/TempDir.h"

#include <array>
#include <gtest/gtest.h>

namespace {

const std::string kData = std::string(CORVANE_TEST_DATA) + "/images/";

TEST(LoadKeyImage, FilesOfEveryAcceptedFormatAreStretchedToTheKeyAndTransparentPartsAreBlack) {
    // Beyond a megapixel a PNG takes the streaming decoder rather than the direct one.
    KVImage large(1200, 1000);
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            large.scanLine(y)[x * 3 + (x < 600 ? 2 : 0)] = 255;
    TempDir folder;
    ASSERT_TRUE(large.save(folder / "large.png"));

    using Probe = std::array<int, 5>; // x, y, blue, green, red
    struct Case {
        std::string path;
        int tolerance;
        std::vector<Probe> probes;
    };
    std::vector<Case> cases = {
        // Red on the left and blue on the right reach the top and bottom rows: stretched, not letterboxed.
        {kData + "wide-100x50.png", 2, {{2, 0, 0, 0, 255}, {45, 47, 255, 0, 0}}},
        {folder / "large.png", 2, {{2, 10, 0, 0, 255}, {45, 40, 255, 0, 0}}},
        {kData + "alpha-40x40.png", 2, {{24, 2, 0, 255, 0}, {24, 45, 0, 0, 0}}},
        {kData + "grey16-64.png", 2, {{24, 24, 255, 255, 255}}},
    };
    for (const char* format : {"jpg", "gif", "bmp", "tif", "webp", "psd"})
        cases.push_back({kData + "orange-64." + format, 8, {{24, 24, 0, 128, 255}}});
    for (const auto& [path, tolerance, probes] : cases) {
        SCOPED_TRACE(path);
        const auto image = LoadKeyImage(path);
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->isKeySized());
        EXPECT_EQ(image->sourcePath(), path);
        for (const auto& [x, y, b, g, r] : probes)
            for (int i = 0; const int expected : {b, g, r})
                EXPECT_NEAR(image->scanLine(47 - y)[x * 3 + i++], expected, tolerance) << x << "," << y;
    }
}

TEST(LoadKeyImage, ActionNamesAreDrawnDistinctBuiltInPicturesWhateverTheirCase) {
    const auto mixed = LoadKeyImage("ACTION_Media_mute");
    ASSERT_TRUE(mixed);
    EXPECT_TRUE(LoadKeyImage("ACTION_MEDIA_MUTE")->samePixels(*mixed));
    EXPECT_FALSE(LoadKeyImage("ACTION_MY_COMPUTER"));
    EXPECT_FALSE(LoadKeyImage("ACTION_"));

    std::vector<KVPtr<KVImage>> pictures;
    for (auto name : corvane::images::builtInActionNames()) {
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

// The damaged files: cut short, random bytes, a format not accepted, empty, and headers with correct
// checksums claiming 1 x 1,000,000 and 15000 x 15000 pixels, and a BMP over 8 million pixels wide.
TEST(LoadKeyImage, MissingDamagedForeignAndAbsurdlySizedFilesGiveNothing) {
    for (const char* name : {"truncated.png", "noise.png", "picture.ppm", "empty.png", "truncated.jpg",
                             "truncated.bmp", "tall.png", "huge.png", "wide.bmp"}) {
        ASSERT_TRUE(std::filesystem::exists(kData + "damaged/" + name)) << name;
        EXPECT_FALSE(LoadKeyImage(kData + "damaged/" + name)) << name;
    }
    for (const std::string& path : {kData + "no-such-picture.png", kData, std::string()})
        EXPECT_FALSE(LoadKeyImage(path)) << path;
    EXPECT_FALSE(corvane::images::declaredSizeAcceptable(0, 10));
    EXPECT_TRUE(corvane::images::declaredSizeAcceptable(6000, 4000));
}

} // namespace
