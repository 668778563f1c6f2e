// Writes the item folders that the program ships ("default_buttons", "control_buttons") into a program
// folder, drawn with the program's own label renderer and stored by its own item writer.
//
//   corvane_make_items PROGRAM_FOLDER [--preview FILE.png]   (the preview: every caption on one sheet)

#include "core/Log.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "layers/ItemFolder.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/ShippedItems.h"
#include "store/FileTree.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool writeItem(const std::string& folder, const KVLayersItem& item) {
    // A rebuild must not leave pictures of keys that the items no longer bind.
    if (!corvane::deleteTree(folder + "/" + item.identifier())) {
        spdlog::error("cannot clear {}/{}", folder, item.identifier());
        return false;
    }
    return corvane::layers::saveItemToFolder(folder, item, true);
}

// Every picture of the items on one sheet, in key-table order, three times the keyboard's size, for a
// person to look at.
bool savePreview(const std::string& path, const std::vector<KVPtr<KVImage>>& pictures) {
    constexpr int kColumns = 12;
    constexpr int kGap = 4;
    constexpr int kCell = KVImage::kKeySize + kGap;
    const int rows = static_cast<int>((pictures.size() + kColumns - 1) / kColumns);
    KVImage sheet(kColumns * kCell + kGap, rows * kCell + kGap);
    for (size_t i = 0; i < pictures.size(); ++i) {
        const int left = kGap + static_cast<int>(i % kColumns) * kCell;
        const int top = kGap + static_cast<int>(i / kColumns) * kCell;
        for (int y = 0; y < KVImage::kKeySize; ++y) {
            // Both are stored bottom-up: picture row y lands on sheet row (height - 1 - top - (47 - y)).
            const int sheetRow = sheet.height() - 1 - top - (KVImage::kKeySize - 1 - y);
            std::copy_n(pictures[i]->scanLine(y), KVImage::kKeySize * KVImage::kBytesPerPixel,
                        sheet.scanLine(sheetRow) + left * KVImage::kBytesPerPixel);
        }
    }
    return sheet.rescale(sheet.width() * 3, sheet.height() * 3) && sheet.save(path);
}

void collectPictures(const KVLayersItem& item, std::vector<KVPtr<KVImage>>& pictures) {
    if (const auto* layer = dynamic_cast<const KVLayer*>(&item))
        for (const auto& binding : layer->bindings())
            if (binding.image && binding.image->isKeySized())
                pictures.push_back(binding.image);
    for (const auto& child : item.children())
        collectPictures(*child, pictures);
}

} // namespace

int main(int argc, char** argv) {
    corvane::initLogging();
    const bool preview = argc == 4 && std::string(argv[2]) == "--preview";
    if (argc != 2 && !preview) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER [--preview FILE.png]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    if (!corvane::ensureFolder(folder)) {
        spdlog::error("cannot create {}", folder);
        return 1;
    }
    KVTextRenderer renderer;
    const auto defaults = corvane::layers::makeDefaultButtons(renderer);
    const auto controls = corvane::layers::makeControlButtons(renderer);
    if (!writeItem(folder, *defaults) || !writeItem(folder, *controls))
        return 1;
    if (preview) {
        std::vector<KVPtr<KVImage>> pictures;
        collectPictures(*controls, pictures);
        collectPictures(*defaults, pictures);
        if (!savePreview(argv[3], pictures))
            return 1;
    }
    return 0;
}
