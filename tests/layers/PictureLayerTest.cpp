#include "layers/PictureLayer.h"

#include "LayersFixture.h"
#include "core/Guid.h"
#include "device/KeyTables.h"
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

// Paints the 48 x 48 square at (x, y) of a top-down picture in one colour.
void paintSquare(KVImage& picture, int x, int y, uint8_t blue) {
    for (int row = y; row < y + KVImage::kKeySize; ++row)
        for (int column = x; column < x + KVImage::kKeySize; ++column)
            picture.scanLine(picture.height() - 1 - row)[column * 3] = blue;
}

uint8_t ownCode(const char* key) {
    return corvane::device::modelDescriptor(KeyboardModelMain).keys[keyIndex(key)].keyCode;
}

} // namespace

TEST(PictureLayer, OnlyKeysWhoseTileIsNotBlackGetAPictureAndTheirOwnCode) {
    KVImage picture(kLayerPictureWidth, kLayerPictureHeight);
    const auto escape = tileOrigin(keyIndex("Escape"));
    paintSquare(picture, escape.x, escape.y, 0xC0);
    // One byte is enough to make a tile count; a pixel just beside a tile belongs to no key.
    const auto f1 = tileOrigin(keyIndex("F1"));
    picture.scanLine(picture.height() - 1 - (f1.y + 47))[(f1.x + 47) * 3 + 2] = 1;
    const auto f2 = tileOrigin(keyIndex("F2"));
    picture.scanLine(picture.height() - 1 - f2.y)[(f2.x - 1) * 3] = 0xFF;

    const auto layer = layerFromPicture(picture, "Picture");
    EXPECT_TRUE(corvane::isGuidString(layer->identifier()));
    unsigned withPicture = 0;
    for (unsigned key = 0; key < kLayerKeyCount; ++key)
        withPicture += layer->binding(key).image ? 1 : 0;
    EXPECT_EQ(withPicture, 2u);
    const auto& bound = layer->binding(keyIndex("Escape"));
    ASSERT_TRUE(bound.image);
    EXPECT_TRUE(bound.image->isKeySized());
    EXPECT_EQ(bound.image->pixels()[0], 0xC0);
    EXPECT_TRUE(bound.image->isChanged());
    EXPECT_EQ(bound.actionCode, ownCode("Escape"));
    EXPECT_EQ(layer->binding(keyIndex("F1")).actionCode, ownCode("F1"));
    EXPECT_EQ(layer->binding(keyIndex("F2")).actionCode, 0);
}

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
