#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The tool's commands on a virtual keyboard folder. Each answers an error text, empty on success.
namespace corvane::vkbd {

// The model recorded in the folder, or an error text.
struct FolderModel {
    std::uint32_t model = 0;
    std::string error;
};
FolderModel folderModel(const std::filesystem::path& dir);

// Key names (any case) or indices ("5" is the digit key; "#5" and other numbers are indices) into key
// numbers of the folder's model.
std::string resolveKeys(const std::filesystem::path& dir, const std::vector<std::string>& names,
                        std::vector<unsigned>& keys);

// The key-state interface reports every key held down, so the keys left down by earlier commands are
// remembered in the folder and sent along.
std::string pressKeys(const std::filesystem::path& dir, const std::vector<unsigned>& keys);
std::string releaseKeys(const std::filesystem::path& dir, const std::vector<unsigned>& keys);

// Plays the key's signature on the standard interface, as a key whose record carries it does.
std::string clickKey(const std::filesystem::path& dir, unsigned key);

std::string renderFolder(const std::filesystem::path& dir, const std::filesystem::path& out);

} // namespace corvane::vkbd
