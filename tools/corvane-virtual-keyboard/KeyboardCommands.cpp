#include "KeyboardCommands.h"

#include "FirmwareState.h"
#include "KeyReports.h"
#include "KeyboardRenderer.h"
#include "VirtualKeyboardFolder.h"
#include "device/KeySignatureDecoder.h"
#include "device/KeyTables.h"

#include <set>

namespace corvane::vkbd {

namespace {

template <typename Report> std::vector<std::uint8_t> bytesOf(const Report& report) {
    return {report.begin(), report.end()};
}

std::string sendKeysDown(const std::filesystem::path& dir, std::uint32_t model,
                         const std::set<unsigned>& down) {
    const std::vector<std::vector<std::uint8_t>> packets{bytesOf(keyStateReport(model, down))};
    if (auto error = sendPackets(FolderPaths{dir}.keyStateSocket(), packets); !error.empty())
        return error;
    // Only what the configurator received counts as held.
    if (!writeKeysDown(dir, down))
        return "cannot record the keys held down in " + FolderPaths{dir}.keysDown().string();
    return {};
}

} // namespace

FolderModel folderModel(const std::filesystem::path& dir) {
    if (const auto model = readModel(dir))
        return {*model, {}};
    return {0, dir.string() + " is no virtual keyboard (run `corvane-virtual-keyboard init " + dir.string() +
                   "` first)"};
}

std::string resolveKeys(const std::filesystem::path& dir, const std::vector<std::string>& names,
                        std::vector<unsigned>& keys) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty())
        return folder.error;
    if (names.empty())
        return "name at least one key";
    for (const auto& name : names) {
        const auto key = device::keyFromArgument(folder.model, name);
        if (!key)
            return "model " + std::to_string(folder.model) + " has no key \"" + name + "\"";
        keys.push_back(*key);
    }
    return {};
}

std::string pressKeys(const std::filesystem::path& dir, const std::vector<unsigned>& keys) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty())
        return folder.error;
    auto down = readKeysDown(dir);
    down.insert(keys.begin(), keys.end());
    return sendKeysDown(dir, folder.model, down);
}

std::string releaseKeys(const std::filesystem::path& dir, const std::vector<unsigned>& keys) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty())
        return folder.error;
    auto down = readKeysDown(dir);
    for (unsigned key : keys)
        down.erase(key);
    return sendKeysDown(dir, folder.model, down);
}

std::string clickKey(const std::filesystem::path& dir, unsigned key) {
    std::vector<std::vector<std::uint8_t>> packets;
    for (const auto& report : device::signatureClickReports(key))
        packets.push_back(bytesOf(report));
    return sendPackets(FolderPaths{dir}.standardSocket(), packets);
}

std::string renderFolder(const std::filesystem::path& dir, const std::filesystem::path& out) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty())
        return folder.error;
    const auto drawingFile = drawingPath(folder.model);
    const Surface drawing = loadPng(drawingFile);
    if (!drawing)
        return "cannot read the keyboard drawing " + drawingFile.string();
    const Surface picture = renderKeyboard(drawing.get(), readFirmwareState(dir, folder.model));
    return savePng(picture.get(), out);
}

} // namespace corvane::vkbd
