#include "layers/LayerArchive.h"

#include "core/Guid.h"
#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "images/PictureFormat.h"
#include "layers/ArchiveWriter.h"
#include "layers/ItemFolder.h"
#include "layers/Layer.h"
#include "layers/LayerCake.h"
#include "layers/LayersController.h"
#include "store/FileSystem.h"
#include "store/FileTree.h"
#include "store/ImageFiles.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <sys/stat.h>

namespace corvane::layers {
namespace {

constexpr const char* kGroupDocument = "/Group.plist";
constexpr const char* kLayerDocument = "/Layer.plist";
// What the archivers of one desktop put beside the content of every archive they make.
constexpr const char* kMacResourceFolder = "__MACOSX";

// A fresh private folder for one export or import, removed with everything in it when it goes.
class StagingFolder {
public:
    explicit StagingFolder(const std::string& temporaryFolder) {
        if (temporaryFolder.empty()) {
            m_error = "there is no private temporary folder to work in";
            return;
        }
        const std::string path = temporaryFolder + "/" + newGuidString();
        if (::mkdir(path.c_str(), 0700) != 0) {
            m_error = "the staging folder " + path + " cannot be made: " + std::strerror(errno);
            return;
        }
        m_path = path;
    }
    ~StagingFolder() {
        if (!m_path.empty() && !deleteTree(m_path))
            corvane::logger("layers").warn("the staging folder {} was not removed completely", m_path);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::string& path() const { return m_path; }
    const std::string& error() const { return m_error; }

private:
    std::string m_path;
    std::string m_error;
};

// The staging folder of an export lives only until the archive is packed: flushing each of its files to
// disk (what saves into the profile do) would cost a disk flush per picture for nothing.
class UnflushedFileSystem final : public KVFileSystem {
public:
    int syncFile(int) override { return 0; }
};

bool holdsItem(const std::string& folder) {
    return pathExists(folder + kGroupDocument) || pathExists(folder + kLayerDocument);
}

// The folder that holds the item: the unpacked folder itself, or its one subfolder when the archive was
// made by zipping an item folder by hand (which keeps the folder's name).
std::string itemFolderIn(const std::string& unpacked) {
    if (holdsItem(unpacked))
        return unpacked;
    std::vector<std::string> folders = subfolderNames(unpacked);
    std::erase(folders, kMacResourceFolder);
    if (folders.size() == 1 && holdsItem(unpacked + "/" + folders.front()))
        return unpacked + "/" + folders.front();
    return {};
}

// A picture that could not be decoded would name a file in the staging folder, which is about to go.
void dropUnreadablePictures(KVLayersItem& item) {
    if (auto* layer = dynamic_cast<KVLayer*>(&item)) {
        for (unsigned key = 0; key < kLayerKeyCount; ++key) {
            auto& image = layer->binding(key).image;
            if (!image)
                continue;
            if (!image->isValid()) {
                corvane::logger("layers").warn("the picture of {} in \"{}\" cannot be read; left out",
                                               keyName(key), item.displayName());
                image.reset();
            } else {
                image->setSourcePath({});
            }
        }
    }
    for (const auto& child : item.children())
        dropUnreadablePictures(*child);
}

// Key pictures are 48 x 48; one of another size is taken as a black key anyway (KVImage::ensureKeySize).
// An archive can declare thousands of pictures of 40 million pixels each in a few kilobytes apiece, so
// such a picture is turned into that black key before anything decodes it.
void blankOversizedPictures(const std::string& folder, const std::vector<std::uint8_t>& blackKeyPng) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file() || it->path().extension() != ".png")
            continue;
        std::array<std::uint8_t, 64> header{};
        std::ifstream file(it->path(), std::ios::binary);
        file.read(reinterpret_cast<char*>(header.data()), header.size());
        const std::span<const std::uint8_t> bytes(header.data(), static_cast<size_t>(file.gcount()));
        const auto format = images::sniffPictureFormat(bytes);
        const auto size = format ? images::declaredSize(*format, bytes) : std::nullopt;
        if (!size || (size->width == KVImage::kKeySize && size->height == KVImage::kKeySize))
            continue;
        file.close();
        corvane::logger("layers").warn("{} is {} x {}, not a key picture; taken as a black key",
                                       it->path().string(), size->width, size->height);
        std::ofstream(it->path(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(blackKeyPng.data()),
                   static_cast<std::streamsize>(blackKeyPng.size()));
    }
}

KVImportResult importFailure(const std::string& archivePath, std::string why) {
    corvane::logger("layers").error("{} was not imported: {}", archivePath, why);
    return {nullptr, std::move(why)};
}

} // namespace

KVArchiveStatus exportItem(const KVLayersItem& item, const std::string& archivePath,
                           const std::string& temporaryFolder) {
    auto fail = [&](std::string why) {
        corvane::logger("layers").error("\"{}\" was not exported to {}: {}", item.displayName(), archivePath,
                                        why);
        return KVArchiveStatus::failure(std::move(why));
    };
    if (!isPlainFileName(item.identifier()))
        return fail("the item has no identifier that can name a folder");
    const StagingFolder staging(temporaryFolder);
    if (staging.path().empty())
        return fail(staging.error());
    UnflushedFileSystem unflushed;
    if (!saveItemToFolder(staging.path(), item, true, unflushed))
        return fail("the item could not be written completely");
    auto status = packFolder(staging.path() + "/" + item.identifier(), archivePath);
    if (!status)
        return fail(status.error);
    corvane::logger("layers").info("\"{}\" exported to {}", item.displayName(), archivePath);
    return status;
}

KVImportResult importArchive(const std::string& archivePath, const std::string& temporaryFolder,
                             const KVLayerLoadContext& context, const KVArchiveLimits& limits) {
    const StagingFolder staging(temporaryFolder);
    if (staging.path().empty())
        return importFailure(archivePath, staging.error());
    if (auto status = unpackArchive(archivePath, staging.path(), limits); !status)
        return importFailure(archivePath, status.error);
    const std::string folder = itemFolderIn(staging.path());
    if (folder.empty())
        return importFailure(archivePath, "it holds neither Group.plist nor Layer.plist");
    blankOversizedPictures(folder, KVImage(KVImage::kKeySize, KVImage::kKeySize).encodePng());
    auto item = loadItemFromFolder(folder, newGuidString(), context);
    dropUnreadablePictures(*item);
    markPicturesChanged(*item);
    corvane::logger("layers").info("imported \"{}\" from {}", item->displayName(), archivePath);
    return {item, {}};
}

KVImportResult openLayersFile(const std::string& archivePath, const std::string& temporaryFolder,
                              KVLayerCake& cake, KVLayersController& controller,
                              CKVMessageDispatch& dispatch) {
    auto result = importArchive(archivePath, temporaryFolder, cake.loadContext());
    if (!result)
        return result;
    if (!controller.Editing().Insert(result.item, cake.userLayers(), nullptr))
        return importFailure(archivePath, "there is no group of user layers to put it in");
    dispatch.post<KVM_LAYERS_IMPORTED>();
    return result;
}

} // namespace corvane::layers
