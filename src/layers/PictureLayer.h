#pragma once

#include "layers/ArchiveReader.h"
#include "layers/Layer.h"

#include <optional>

class KVLayerEditing;
#include <string>

class KVImage;

// A layer as one picture of the whole keyboard, and back: the picture import cuts a picture into key
// tiles, the picture export and the outside picture editor's file put the key pictures together.
//
// Tiles sit where pictures made for this keyboard have always put them: 4 pixels right of and 19 pixels
// above the key's place on the keyboard drawing. The exported picture shifts the drawing by the same
// amount, so the key pictures lie on the drawn displays and export then import gives them back.
namespace corvane::layers {

inline constexpr int kLayerPictureWidth = 1304;
inline constexpr int kLayerPictureHeight = 425;

struct KVTileOrigin {
    int x;
    int y;
};

// The top-left corner of key `key`'s tile in a layer picture (`key` below kLayerKeyCount).
KVTileOrigin tileOrigin(unsigned key);

// The 48 x 48 tile of `key`; parts outside the picture are black.
KVImage cutTile(const KVImage& picture, unsigned key);

// Spreads a keyboard picture over the layer's keys, all at once: a key that has a picture takes its tile
// whatever it holds; a key without one (and without a view plug-in) takes its tile only when the tile is
// not completely black, and then sends its own key code as its action code. Every picture it sets is
// marked changed. Answers the number of keys whose picture was set.
unsigned applyLayerPicture(KVLayer& layer, const KVImage& picture);
// The same on a layer in the tree, as one undoable step ("Paint Work"); answers how many keys changed.
unsigned paintLayer(KVLayerEditing& editing, const KVPtr<KVLayer>& layer, const KVImage& picture);

// A new layer with a fresh identifier made from a keyboard picture.
KVPtr<KVLayer> layerFromPicture(const KVImage& picture, std::string displayName);

// The keyboard picture of a layer: the keyboard drawing (when given) with every key picture on it, black
// where a key has none.
KVImage composeLayerPicture(const KVLayer& layer, const KVImage* drawing);

// A new layer, or why there is none.
struct KVPictureImport {
    KVPtr<KVLayer> layer;
    std::string error;

    explicit operator bool() const { return layer != nullptr; }
};

// "Layer from Image...": loads the picture file and makes a layer of it, named `name` or else after the
// file (its name without folder and extension).
KVPictureImport importLayerPicture(const std::string& picturePath, std::optional<std::string> name = {});

// "Layer Image...": writes the layer's keyboard picture as PNG. The drawing is left out when
// `drawingPath` is empty or cannot be read.
KVArchiveStatus exportLayerPicture(const KVLayer& layer, const std::string& picturePath,
                                   const std::string& drawingPath);

// The keyboard drawing: $CORVANE_DATA_DIR/keyboard.png when set, else share/corvane beside the program
// folder's lib/corvane (the build tree and an installed prefix look alike there).
std::string keyboardDrawingPath(const std::string& programFolder);

} // namespace corvane::layers
