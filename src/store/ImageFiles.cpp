#include "store/ImageFiles.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "store/AtomicFile.h"
#include "store/PropertyListWriter.h"
#include "store/XmlDocument.h"

namespace corvane {
namespace {

// Picture files the user picked can be photos; anything beyond this is no key picture.
constexpr size_t kMaxCopiedPictureBytes = 64 * 1024 * 1024;

bool writeImageFile(const KVImage& image, const std::string& path, KVFileSystem& fs) {
    if (image.isValid()) {
        const auto png = image.encodePng();
        if (png.empty()) {
            corvane::logger("store").error("cannot encode the picture for {}", path);
            return false;
        }
        return writeFileAtomically(path, {reinterpret_cast<const char*>(png.data()), png.size()}, fs);
    }
    if (image.sourcePath().empty()) {
        corvane::logger("store").error("the picture for {} holds no pixels and names no file", path);
        return false;
    }
    if (image.sourcePath() == path)
        return true; // already where it belongs
    const auto bytes = readFileBounded(image.sourcePath(), kMaxCopiedPictureBytes);
    if (!bytes) {
        corvane::logger("store").error("cannot copy the picture {} to {}", image.sourcePath(), path);
        return false;
    }
    return writeFileAtomically(path, *bytes, fs);
}

} // namespace

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool storeEntryImage(const KVPropertyNode& entry, const std::string& folder, bool writeAll,
                     KVFileSystem& fs) {
    KVImage& image = *entry.image();
    if (!writeAll && !image.isChanged())
        return true;
    if (!isPlainFileName(entry.value())) {
        corvane::logger("store").error("picture name \"{}\" in {} is not a file name; not written",
                                       entry.value(), folder);
        return false;
    }
    const std::string path = folder + "/" + entry.value() + ".png";
    if (!writeImageFile(image, path, fs))
        return false;
    // A save into the profile makes the stored file the picture's home; an export leaves it as it was.
    if (!writeAll) {
        image.setChanged(false);
        image.setSourcePath(path);
    }
    return true;
}

bool savePropertyListWithImages(const KVPropertyNode& node, const std::string& path,
                                const std::string& folder, bool writeAll, KVFileSystem& fs) {
    bool imagesStored = true;
    auto document = KVXmlDocument::fromTemplate(path);
    const bool complete = writeEntries(document.topDictionary(), node, [&](const KVPropertyNode& entry) {
        imagesStored = storeEntryImage(entry, folder, writeAll, fs) && imagesStored;
    });
    return complete && document.save(fs) && imagesStored;
}

} // namespace corvane
