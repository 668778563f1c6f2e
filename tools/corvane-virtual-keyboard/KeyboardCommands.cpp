#include "KeyboardCommands.h"

#include "FirmwareState.h"
#include "KeyReports.h"
#include "KeyboardRenderer.h"
#include "VirtualKeyboardFolder.h"
#include "device/KeySignatureDecoder.h"
#include "device/KeyTables.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <spdlog/spdlog.h>
#include <sys/file.h>
#include <unistd.h>

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

// Commands run side by side (a script pressing two keys at once) must not lose each other's keys.
class KeysDownLock {
public:
    explicit KeysDownLock(const std::filesystem::path& dir)
        : m_fd(::open(FolderPaths{dir}.keysDownLock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
            spdlog::warn("cannot lock {}: {}", FolderPaths{dir}.keysDownLock().string(),
                         std::strerror(errno));
    }
    ~KeysDownLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    KeysDownLock(const KeysDownLock&) = delete;
    KeysDownLock& operator=(const KeysDownLock&) = delete;

private:
    int m_fd;
};

std::string changeKeysDown(const std::filesystem::path& dir, const std::vector<unsigned>& keys, bool down) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty())
        return folder.error;
    const KeysDownLock lock(dir);
    auto held = readKeysDown(dir);
    for (unsigned key : keys) {
        if (down)
            held.insert(key);
        else
            held.erase(key);
    }
    return sendKeysDown(dir, folder.model, held);
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
    return changeKeysDown(dir, keys, true);
}

std::string releaseKeys(const std::filesystem::path& dir, const std::vector<unsigned>& keys) {
    return changeKeysDown(dir, keys, false);
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
