#include "images/KVGlobalImageList.h"

#include "core/Log.h"
#include "images/BuiltInPictures.h"
#include "images/PictureCodec.h"

#include <algorithm>

namespace {

// The list grows in steps, as icons arrive in bursts (every application of the catalogue at once).
constexpr std::size_t kGrowth = 50;

} // namespace

KVGlobalImageList::KVGlobalImageList() {
    if (addBuiltIn("ICON_135") != 0)
        corvane::logger("images").error("the program icon did not become the first icon of the list");
}

int KVGlobalImageList::add(const Icon& icon) {
    if (m_icons.size() == m_icons.capacity())
        m_icons.reserve(m_icons.size() + kGrowth);
    m_icons.push_back(icon);
    return count() - 1;
}

int KVGlobalImageList::addEncoded(std::span<const std::uint8_t> bytes) {
    const auto rgba = corvane::images::decodePictureRgba(bytes, {kIconSize, kIconSize});
    if (rgba.size() != kIconBytes)
        return -1;
    Icon icon;
    std::copy(rgba.begin(), rgba.end(), icon.begin());
    return add(icon);
}

int KVGlobalImageList::addPicture(const KVImage& picture) {
    if (!picture.isValid())
        return -1;
    KVImage small = picture;
    if ((small.width() != kIconSize || small.height() != kIconSize) && !small.rescale(kIconSize, kIconSize))
        return -1;
    const auto rgb = small.toTopDownRgb();
    Icon icon;
    for (std::size_t pixel = 0; pixel < kIconSize * kIconSize; ++pixel) {
        std::copy_n(rgb.begin() + static_cast<std::ptrdiff_t>(pixel * 3), 3,
                    icon.begin() + static_cast<std::ptrdiff_t>(pixel * 4));
        icon[pixel * 4 + 3] = 255;
    }
    return add(icon);
}

int KVGlobalImageList::addBuiltIn(std::string_view name) {
    const auto png = corvane::images::builtInPicturePng(name);
    return png.empty() ? -1 : addEncoded(png);
}

const KVGlobalImageList::Icon* KVGlobalImageList::icon(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return &m_icons[static_cast<std::size_t>(index)];
}
