#include "images/BuiltInPictures.h"

#include "core/Strings.h"
#include "images/BuiltInPictureData.h"

#include <algorithm>

namespace corvane::images {

std::span<const std::uint8_t> builtInPicturePng(std::string_view name) {
    const std::string upper = corvane::asciiUpper(name);
    const auto found = std::lower_bound(
        kBuiltInPictures.begin(), kBuiltInPictures.end(), upper,
        [](const BuiltInPicture& entry, const std::string& key) { return entry.name < key; });
    if (found == kBuiltInPictures.end() || found->name != upper)
        return {};
    return found->png;
}

std::vector<std::string_view> builtInActionNames() {
    std::vector<std::string_view> names;
    for (const auto& entry : kBuiltInPictures)
        if (entry.name.starts_with("ACTION_"))
            names.push_back(entry.name);
    return names;
}

} // namespace corvane::images
