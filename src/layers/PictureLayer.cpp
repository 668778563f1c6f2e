#include "layers/PictureLayer.h"

#include "core/Guid.h"
#include "core/Log.h"
#include "device/KeyTables.h"
#include "images/KVImage.h"
#include "keyboard/KeyboardGeometry.h"
#include "layers/LayerEditing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace corvane::layers {
namespace {

// Where the drawing lies in a layer picture: shifted like the tiles, so its displays lie under them.
constexpr int kTileShiftX = 4;
constexpr int kTileShiftY = -19;
constexpr int kKeySize = KVImage::kKeySize;

// Copies the rectangle of `from` at (fromX, fromY), `width` x `height`, into `to` at (toX, toY); both
// in top-down coordinates; whatever falls outside either picture is skipped.
void copyRectangle(const KVImage& from, int fromX, int fromY, KVImage& to, int toX, int toY, int width,
                   int height) {
    for (int row = 0; row < height; ++row) {
        const int sourceY = fromY + row;
        const int targetY = toY + row;
        if (sourceY < 0 || sourceY >= from.height() || targetY < 0 || targetY >= to.height())
            continue;
        const int left = std::max({0, -fromX, -toX});
        const int right = std::min({width, from.width() - fromX, to.width() - toX});
        if (right <= left)
            continue;
        const std::uint8_t* source = from.scanLine(from.height() - 1 - sourceY) + (fromX + left) * 3;
        std::uint8_t* target = to.scanLine(to.height() - 1 - targetY) + (toX + left) * 3;
        std::memcpy(target, source, static_cast<std::size_t>(right - left) * 3);
    }
}

bool completelyBlack(const KVImage& tile) {
    const auto pixels = tile.pixels();
    return std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t byte) { return byte == 0; });
}

std::uint8_t ownKeyCode(unsigned key) {
    return corvane::device::modelDescriptor(KeyboardModelMain).keys[key].keyCode;
}

} // namespace

KVTileOrigin tileOrigin(unsigned key) {
    const auto& place = corvane::keyboard::kMainKeyPlaces[key];
    return {place.x + kTileShiftX, place.y + kTileShiftY};
}

KVImage cutTile(const KVImage& picture, unsigned key) {
    KVImage tile(kKeySize, kKeySize);
    const auto origin = tileOrigin(key);
    copyRectangle(picture, origin.x, origin.y, tile, 0, 0, kKeySize, kKeySize);
    return tile;
}

unsigned applyLayerPicture(KVLayer& layer, const KVImage& picture) {
    unsigned set = 0;
    for (unsigned key = 0; key < kLayerKeyCount; ++key) {
        auto& binding = layer.binding(key);
        KVImage tile = cutTile(picture, key);
        if (binding.image) {
            binding.image->takePixels(std::move(tile));
        } else if (!binding.viewPlugin && !completelyBlack(tile)) {
            binding.image = std::make_shared<KVImage>(std::move(tile));
            binding.actionCode = ownKeyCode(key);
        } else {
            continue;
        }
        binding.image->setChanged(true);
        ++set;
    }
    return set;
}

unsigned paintLayer(KVLayerEditing& editing, const KVPtr<KVLayer>& layer, const KVImage& picture) {
    if (!layer)
        return 0;
    unsigned set = 0;
    editing.BeginMacro("Paint " + layer->displayName());
    for (unsigned key = 0; key < kLayerKeyCount; ++key) {
        const auto& binding = layer->binding(key);
        KVImage tile = cutTile(picture, key);
        const bool takesPicture = binding.image || (!binding.viewPlugin && !completelyBlack(tile));
        if (!takesPicture)
            continue;
        auto image = std::make_shared<KVImage>(std::move(tile));
        image->setChanged(true);
        const bool hadPicture = binding.image != nullptr;
        const auto scanCode = binding.scanCode;
        set += editing.SetKeyImage(layer, key, std::move(image));
        if (!hadPicture)
            editing.SetKeyCode(layer, key, scanCode, ownKeyCode(key));
    }
    editing.EndMacro();
    return set;
}

KVPtr<KVLayer> layerFromPicture(const KVImage& picture, std::string displayName) {
    auto layer = std::make_shared<KVLayer>();
    layer->setIdentifier(newGuidString());
    layer->setDisplayName(std::move(displayName));
    applyLayerPicture(*layer, picture);
    return layer;
}

KVImage composeLayerPicture(const KVLayer& layer, const KVImage* drawing) {
    KVImage picture(kLayerPictureWidth, kLayerPictureHeight);
    if (drawing && drawing->isValid())
        copyRectangle(*drawing, 0, 0, picture, kTileShiftX, kTileShiftY, drawing->width(), drawing->height());
    const KVImage black(kKeySize, kKeySize);
    for (unsigned key = 0; key < kLayerKeyCount; ++key) {
        const auto& image = layer.binding(key).image;
        const auto origin = tileOrigin(key);
        copyRectangle(image && image->isKeySized() ? *image : black, 0, 0, picture, origin.x, origin.y,
                      kKeySize, kKeySize);
    }
    return picture;
}

KVPictureImport importLayerPicture(const std::string& picturePath, std::optional<std::string> name) {
    KVImage picture;
    if (!picture.load(picturePath)) {
        std::string why = "it is not a picture that can be read";
        corvane::logger("layers").error("no layer made from {}: {}", picturePath, why);
        return {nullptr, why};
    }
    auto layer = layerFromPicture(picture, name.value_or(std::filesystem::path(picturePath).stem().string()));
    corvane::logger("layers").info("made the layer \"{}\" from {}", layer->displayName(), picturePath);
    return {layer, {}};
}

KVArchiveStatus exportLayerPicture(const KVLayer& layer, const std::string& picturePath,
                                   const std::string& drawingPath) {
    KVImage drawing;
    if (!drawingPath.empty() && !drawing.load(drawingPath))
        corvane::logger("layers").warn(
            "the keyboard drawing {} cannot be read; the picture has the keys only", drawingPath);
    KVImage picture = composeLayerPicture(layer, &drawing);
    if (!picture.save(picturePath)) {
        corvane::logger("layers").error("the picture of \"{}\" cannot be written to {}", layer.displayName(),
                                        picturePath);
        return KVArchiveStatus::failure("the picture cannot be written to " + picturePath);
    }
    return KVArchiveStatus::success();
}

std::string keyboardDrawingPath(const std::string& programFolder) {
    if (const char* folder = std::getenv("CORVANE_DATA_DIR"); folder && *folder)
        return std::string(folder) + "/keyboard.png";
    return (std::filesystem::path(programFolder).parent_path().parent_path() / "share" / "corvane" /
            "keyboard.png")
        .string();
}

} // namespace corvane::layers
