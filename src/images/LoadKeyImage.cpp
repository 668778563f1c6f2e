#include "images/LoadKeyImage.h"

#include "core/Log.h"
#include "core/Strings.h"
#include "images/BuiltInPictures.h"
#include "images/FileBytes.h"
#include "images/PictureCodec.h"
#include "images/PictureFormat.h"

#include <optional>

namespace {

constexpr std::string_view kActionPrefix = "ACTION_";
constexpr corvane::images::PictureSize kKeyPictureSize{KVImage::kKeySize, KVImage::kKeySize};

} // namespace

KVPtr<KVImage> LoadKeyImage(const std::string& name) {
    using namespace corvane::images;
    auto image = std::make_shared<KVImage>();
    std::optional<std::vector<std::uint8_t>> fileBytes;
    std::span<const std::uint8_t> bytes;
    if (name.size() >= kActionPrefix.size() &&
        corvane::iequals(name.substr(0, kActionPrefix.size()), kActionPrefix)) {
        bytes = builtInPicturePng(name);
        if (bytes.empty()) {
            corvane::logger("images").info("no built-in picture {}", name);
            return {};
        }
    } else {
        image->setSourcePath(name);
        fileBytes = readFileBytes(name, kMaxPictureFileBytes);
        if (!fileBytes)
            return {};
        bytes = *fileBytes;
    }
    // Scaling while decoding lets a large photo stream through the scaler instead of being held whole.
    if (!decodePicture(bytes, *image, kKeyPictureSize)) {
        corvane::logger("images").warn("{} gives no key picture", name);
        return {};
    }
    return image;
}
