#include "images/KVImage.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = std::string(CORVANE_TEST_DATA) + "/images/";

TEST(KVImage, LoadKeepsTheFilesSizeButAStoredPictureOfAnotherSizeReloadsBlank) {
    KVImage image;
    ASSERT_TRUE(image.load(kData + "wide-100x50.png"));
    EXPECT_EQ(image.width(), 100);
    ASSERT_TRUE(image.rescale(48, 48));
    EXPECT_TRUE(image.isKeySized());
    EXPECT_FALSE(image.rescale(0, 48));

    KVImage stored;
    stored.setSourcePath(kData + "stored-64x64.png");
    stored.setChanged(true);
    ASSERT_TRUE(stored.reload());
    EXPECT_TRUE(stored.samePixels(KVImage(48, 48)));
    EXPECT_EQ(stored.sourcePath(), kData + "stored-64x64.png");
    EXPECT_TRUE(stored.isChanged());

    KVImage missing;
    missing.setSourcePath(kData + "no-such.png");
    EXPECT_FALSE(missing.reload());
    EXPECT_FALSE(missing.isValid());
    EXPECT_FALSE(KVImage().reload());
}

TEST(KVImage, FromBottomUpBgrTakesPaddedRows) {
    // Two pixels wide: six bytes of pixels in an eight-byte row.
    const std::uint8_t rows[] = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    const auto image = KVImage::fromBottomUpBgr(2, 2, rows, 8);
    ASSERT_TRUE(image);
    EXPECT_EQ(std::vector<int>(image->scanLine(1), image->scanLine(1) + 6),
              (std::vector<int>{7, 8, 9, 10, 11, 12}));
    EXPECT_FALSE(KVImage::fromBottomUpBgr(2, 2, rows, 5));
    EXPECT_FALSE(KVImage::fromBottomUpBgr(2, 2, nullptr, 8));
}

TEST(KVImage, SaveReplacesTheFileWholeOrLeavesItAlone) {
    TempDir folder;
    KVImage image(48, 48);
    // A folder where the picture should go cannot be replaced by a file.
    std::filesystem::create_directories(folder.path() / "Escape.png" / "keep");
    EXPECT_FALSE(image.save(folder / "Escape.png"));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Escape.png" / "keep"));
    EXPECT_TRUE(image.sourcePath().empty());
    EXPECT_FALSE(KVImage().save(folder / "Empty.png"));

    // Replacing an existing picture leaves exactly the new one, bottom-up blue-green-red, and nothing beside.
    const std::string path = folder / "F1.png";
    ASSERT_TRUE(KVImage(48, 48).save(path));
    std::copy_n(std::array<std::uint8_t, 3>{10, 20, 200}.begin(), 3, image.scanLine(47)); // top left
    ASSERT_TRUE(image.save(path));
    EXPECT_EQ(image.sourcePath(), path);
    KVImage loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_TRUE(loaded.samePixels(image));
    const auto rgb = loaded.toTopDownRgb();
    EXPECT_EQ((std::vector<int>{rgb[0], rgb[1], rgb[2]}), (std::vector<int>{200, 20, 10}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

} // namespace
