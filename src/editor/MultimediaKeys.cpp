#include "editor/MultimediaKeys.h"

#include "images/BuiltInPictures.h"

#include <algorithm>
#include <array>
#include <vector>

namespace corvane::editor {
namespace {

// The keyboard's codes for media, browser and power keys.
constexpr std::array<KVMultimediaKey, 17> kCandidates{{
    {"Browser back", 0x94},
    {"Browser favorites", 0xA3},
    {"Browser forward", 0x95},
    {"Browser home", 0x93},
    {"Browser reload", 0xA2},
    {"Browser search", 0xA0},
    {"Browser stop", 0xA1},
    {"Media mute", 0x7B},
    {"Media next track", 0x9A},
    {"Media play", 0x9D},
    {"Media prev track", 0x9B},
    {"Media stop", 0x9C},
    {"Media vol down", 0x7C},
    {"Media vol up", 0x7D},
    {"System power", 0xA4},
    {"System sleep", 0xA5},
    {"System wake up", 0xA6},
}};

std::vector<KVMultimediaKey> buildList() {
    // Only codes the user can recognise by a picture are offered.
    std::vector<KVMultimediaKey> keys;
    for (const auto& candidate : kCandidates)
        if (!corvane::images::builtInPicturePng(actionPictureName(candidate.name)).empty())
            keys.push_back(candidate);
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return keys;
}

} // namespace

std::string actionPictureName(std::string_view name) {
    std::string result = "ACTION_";
    for (const char c : name)
        result += c == ' ' ? '_' : static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return result;
}

std::span<const KVMultimediaKey> multimediaKeys() {
    static const std::vector<KVMultimediaKey> keys = buildList();
    return keys;
}

std::optional<KVMultimediaKey> multimediaKey(uint8_t code) {
    for (const auto& key : multimediaKeys())
        if (key.code == code)
            return key;
    return std::nullopt;
}

} // namespace corvane::editor
