#include "layers/PictureLayer.h"

#include "LayersFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace corvane::layers;

namespace {

const std::string kDrawing = std::string(CORVANE_KEYBOARD_DATA_DIR) + "/keyboard.png";

// A key picture that differs from every other key's: a gradient seeded by the key.
KVPtr<KVImage> keyPicture(unsigned key) {
    auto image = std::make_shared<KVImage>(KVImage::kKeySize, KVImage::kKeySize);
    auto pixels = image->pixels();
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(1 + (i * 7 + key * 13) % 250);
    return image;
}

} // namespace

// Every key's tile lies inside the picture and apart from every other's: each picture comes back as it
// went out, and a key without one (every seventh) comes back without.
TEST(PictureLayer, ExportThenImportGivesBackEveryKeysPicture) {
    TempDir folder;
    auto layer = makeLayer("round");
    for (unsigned key = 0; key < kLayerKeyCount; ++key)
        if (key % 7 != 3)
            layer->binding(key).image = keyPicture(key);
    ASSERT_TRUE(exportLayerPicture(*layer, folder / "round.png", kDrawing));

    const auto imported = importLayerPicture(folder / "round.png");
    ASSERT_TRUE(imported) << imported.error;
    EXPECT_EQ(imported.layer->displayName(), "round");
    for (unsigned key = 0; key < kLayerKeyCount; ++key) {
        const auto &before = layer->binding(key).image, &after = imported.layer->binding(key).image;
        EXPECT_TRUE(before ? after && after->samePixels(*before) : !after) << keyName(key);
    }

    writeWholeFile(folder / "notes.png", "not a picture");
    const auto unreadable = importLayerPicture(folder / "notes.png");
    EXPECT_FALSE(unreadable);
    EXPECT_FALSE(unreadable.error.empty());
    EXPECT_FALSE(exportLayerPicture(*layer, folder / "missing/x.png", ""));
}
