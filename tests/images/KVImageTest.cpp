#include "images/KVImage.h"

#include "images/LoadKeyImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = std::string(CORVANE_TEST_DATA) + "/images/";

TEST(KVImage, SavedPngLoadsBackWithSameBottomUpBgrPixels) {
    TempDir folder;
    KVImage image(48, 48);
    EXPECT_EQ(image.pixels().size(), 144u * 48) << "rows are packed as the keyboard takes them";
    // Blue-green-red of the top-left pixel: the last row in memory.
    image.scanLine(47)[0] = 10;
    image.scanLine(47)[1] = 20;
    image.scanLine(47)[2] = 200;
    const std::string path = folder / "Escape.png";
    ASSERT_TRUE(image.save(path));
    EXPECT_EQ(image.sourcePath(), path);

    KVImage loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_TRUE(loaded.samePixels(image));
    const auto rgb = loaded.toTopDownRgb();
    EXPECT_EQ((std::vector<int>{rgb[0], rgb[1], rgb[2]}), (std::vector<int>{200, 20, 10}));
}

TEST(KVImage, StoredPictureOfAnotherSizeReloadsAsBlankKeyPicture) {
    KVImage stored;
    stored.setSourcePath(kData + "stored-64x64.png");
    stored.setChanged(true);
    ASSERT_TRUE(stored.reload());
    EXPECT_TRUE(stored.isKeySized());
    EXPECT_TRUE(stored.samePixels(KVImage(48, 48)));
    EXPECT_EQ(stored.sourcePath(), kData + "stored-64x64.png");
    EXPECT_TRUE(stored.isChanged());

    KVImage missing;
    missing.setSourcePath(kData + "no-such.png");
    EXPECT_FALSE(missing.reload());
    EXPECT_FALSE(missing.isValid());
    EXPECT_FALSE(KVImage().reload());
}

TEST(KVImage, LoadKeepsTheFilesOwnSizeAndRescaleStretches) {
    KVImage image;
    ASSERT_TRUE(image.load(kData + "wide-100x50.png"));
    EXPECT_EQ(image.width(), 100);
    ASSERT_TRUE(image.rescale(48, 48));
    EXPECT_TRUE(image.isKeySized());
    EXPECT_FALSE(image.rescale(0, 48));
}

TEST(KVImage, FromBottomUpBgrTakesPaddedRows) {
    // Two pixels wide: six bytes of pixels in an eight-byte row.
    const std::uint8_t rows[] = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    const auto image = KVImage::fromBottomUpBgr(2, 2, rows, 8);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scanLine(1)[0], 7);
    EXPECT_EQ(image->scanLine(1)[5], 12);
    EXPECT_FALSE(KVImage::fromBottomUpBgr(2, 2, rows, 5));
    EXPECT_FALSE(KVImage::fromBottomUpBgr(2, 2, nullptr, 8));
}

TEST(KVImage, FailedSaveKeepsTheOldFileAndLeavesNoLitter) {
    TempDir folder;
    KVImage image(48, 48);
    // A folder where the picture should go cannot be replaced by a file.
    std::filesystem::create_directories(folder.path() / "Escape.png" / "keep");
    EXPECT_FALSE(image.save(folder / "Escape.png"));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Escape.png" / "keep"));
    EXPECT_TRUE(image.sourcePath().empty());
    EXPECT_FALSE(KVImage().save(folder / "Empty.png"));

    // Replacing an existing picture leaves exactly the new one and nothing beside it.
    const auto path = folder / "F1.png";
    ASSERT_TRUE(KVImage(48, 48).save(path));
    KVImage white(48, 48);
    std::fill(white.pixels().begin(), white.pixels().end(), 255);
    ASSERT_TRUE(white.save(path));
    KVImage loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_TRUE(loaded.samePixels(white));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

} // namespace
