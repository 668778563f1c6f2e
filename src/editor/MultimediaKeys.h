#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The key codes of the "Multimedia" list: the codes whose action has a built-in picture.
namespace corvane::editor {

struct KVMultimediaKey {
    std::string_view name; // "Media mute"
    uint8_t code;          // what the keyboard sends
};

// The entries, sorted by name (byte order).
std::span<const KVMultimediaKey> multimediaKeys();
// The entry of `code`; none when the code is no multimedia key.
std::optional<KVMultimediaKey> multimediaKey(uint8_t code);
// The built-in picture of an action: "ACTION_" and the name in upper case with blanks as "_".
std::string actionPictureName(std::string_view name);

} // namespace corvane::editor
