#include "images/KVImage.h"

#include "images/LoadKeyImage.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::filesystem::path scratchFolder(const std::string& name) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("corvane-images-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(KVImage, KeySizedPictureHasTheKeyboardsRowLayout) {
    KVImage image(48, 48);
    EXPECT_TRUE(image.isValid());
    EXPECT_EQ(image.bitsPerPixel(), 24);
    EXPECT_EQ(image.stride(), 144u);
    EXPECT_EQ(image.pixels().size(), 144u * 48);
    EXPECT_FALSE(KVImage().isValid());
    EXPECT_EQ(KVImage().bitsPerPixel(), 0);
    EXPECT_EQ(KVImage::strideFor(5), 16u);
}

TEST(KVImage, SavedPngLoadsBackWithSameBottomUpBgrPixels) {
    const auto folder = scratchFolder("roundtrip");
    KVImage image(48, 48);
    // Blue-green-red of the top-left pixel: the last row in memory.
    image.scanLine(47)[0] = 10;
    image.scanLine(47)[1] = 20;
    image.scanLine(47)[2] = 200;
    const std::string path = (folder / "Escape.png").string();
    ASSERT_TRUE(image.save(path));
    EXPECT_EQ(image.sourcePath(), path);

    KVImage loaded;
    ASSERT_TRUE(loaded.load(path));
    EXPECT_TRUE(loaded.samePixels(image));
    const auto rgb = loaded.toTopDownRgb();
    EXPECT_EQ(rgb[0], 200);
    EXPECT_EQ(rgb[1], 20);
    EXPECT_EQ(rgb[2], 10);
    std::filesystem::remove_all(folder);
}

} // namespace
