#include "VirtualKeyboardFolder.h"

#include <algorithm>
#include <fstream>
#include <spdlog/spdlog.h>
#include <sstream>
#include <system_error>

namespace corvane::vkbd {

namespace {

bool isPrintableAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

fs::path FolderPaths::display(unsigned number) const {
    char name[16];
    std::snprintf(name, sizeof name, "%03u.sys", number);
    return dynamicFolder() / name;
}

std::string initVirtualKeyboard(const fs::path& dir, const InitOptions& options) {
    if (options.model > 1)
        return "the model must be 0 (main keyboard) or 1 (auxiliary keypad)";
    if (options.firmware.size() > kMaxFirmwareLength || !isPrintableAscii(options.firmware))
        return "the firmware text must be at most 26 printable ASCII characters";
    if (!device::virtualkbd::createVirtualKeyboard(dir, options.firmware, options.model))
        return "cannot make " + dir.string() + " a virtual keyboard";
    // A new keyboard holds no keys down.
    std::error_code error;
    fs::remove(FolderPaths{dir}.keysDown(), error);
    return {};
}

std::optional<std::uint32_t> readModel(const fs::path& dir) {
    std::error_code error;
    if (!fs::is_regular_file(FolderPaths{dir}.version(), error))
        return std::nullopt;
    return device::virtualkbd::virtualKeyboardModel(dir);
}

std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    // A file cut while it was read is taken as far as it went.
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        spdlog::error("cannot write {}", path.string());
        return false;
    }
    return true;
}

std::set<unsigned> readKeysDown(const fs::path& dir) {
    std::set<unsigned> keys;
    std::ifstream in(FolderPaths{dir}.keysDown());
    unsigned key = 0;
    while (in >> key)
        keys.insert(key);
    return keys;
}

bool writeKeysDown(const fs::path& dir, const std::set<unsigned>& keys) {
    std::ostringstream text;
    for (unsigned key : keys)
        text << key << '\n';
    const std::string s = text.str();
    return writeFile(FolderPaths{dir}.keysDown(), {s.begin(), s.end()});
}

} // namespace corvane::vkbd
