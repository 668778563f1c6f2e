#pragma once

#include "images/KVImage.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The editor's list of 16 x 16 icons (applications, keyboard layouts). Indices handed out stay valid for
// the life of the list: icons are only ever appended. Index 0 is the program's own icon.
class KVGlobalImageList {
public:
    static constexpr int kIconSize = 16;
    static constexpr std::size_t kIconBytes = kIconSize * kIconSize * 4;
    // Rows top-down; red, green, blue and straight alpha (the alpha plays the part of the mask).
    using Icon = std::array<std::uint8_t, kIconBytes>;

    KVGlobalImageList();

    // Each returns the new icon's index, or -1 when the picture gives no icon.
    int add(const Icon& icon);
    // Any accepted picture file content; scaled to 16 x 16.
    int addEncoded(std::span<const std::uint8_t> bytes);
    // A key picture, scaled to 16 x 16 and fully opaque.
    int addPicture(const KVImage& picture);
    // A built-in picture by name ("ACTION_MEDIA_MUTE", "ICON_135").
    int addBuiltIn(std::string_view name);

    // The icon at `index`, or nullptr when there is none.
    const Icon* icon(int index) const;
    int count() const { return static_cast<int>(m_icons.size()); }

private:
    std::vector<Icon> m_icons;
};
