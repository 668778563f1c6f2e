#include "device/VirtualKeyboard.h"

#include "core/Log.h"
#include "device/KeyCodeTable.h"
#include "device/KeySignatureDecoder.h"
#include "device/KeyStateReport.h"
#include "device/KeyTables.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace corvane::device::virtualkbd {
namespace {

bool writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out)
        corvane::logger("device").error("virtual keyboard: cannot write {}", path.string());
    return bool(out);
}

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

bool createVirtualKeyboard(const std::filesystem::path& dir, std::string_view version, uint32_t model) {
    std::error_code error;
    std::filesystem::create_directories(dir / "vTavirex" / "dynamic", error);
    if (error) {
        corvane::logger("device").error("virtual keyboard: cannot create {}: {}", dir.string(),
                                        error.message());
        return false;
    }
    const std::string modelText = std::to_string(model);
    if (!writeFile(dir / kVersionFile, bytesOf(version)) || !writeFile(dir / kModelFile, bytesOf(modelText)))
        return false;
    const auto tablePath = dir / "vTavirex" / "scancode.sys";
    if (std::filesystem::exists(tablePath))
        return true;
    KeyCodeTable table;
    table.fill(kRecordFill);
    const ModelDescriptor& descriptor = modelDescriptor(model);
    for (const KeyDescriptor& key : descriptor.keys)
        setTableRecord(table, key.slot, keyCodeRecord(key.keyCode));
    return writeFile(tablePath, table);
}

uint32_t virtualKeyboardModel(const std::filesystem::path& dir) {
    std::ifstream in(dir / kModelFile);
    unsigned model = 0;
    if (!(in >> model) || model > KeyboardModelKeypad)
        return KeyboardModelMain;
    return model;
}

namespace {

// One connection for all `reports`, so that they arrive in order.
bool sendReports(const std::filesystem::path& dir, std::string_view socketName,
                 const std::vector<std::span<const uint8_t>>& reports) {
    const std::string path = (dir / socketName).string();
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) {
        corvane::logger("device").error("virtual keyboard: socket path too long: {}", path);
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // Never wait on a configurator that does not read: a full queue fails the send.
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    for (size_t i = 0; sent && i < reports.size(); ++i)
        sent = send(fd, reports[i].data(), reports[i].size(), MSG_NOSIGNAL) == ssize_t(reports[i].size());
    if (!sent)
        corvane::logger("device").warn("virtual keyboard: cannot send to {}: {}", path, std::strerror(errno));
    close(fd);
    return sent;
}

} // namespace

bool sendVirtualReport(const std::filesystem::path& dir, std::string_view socketName,
                       std::span<const uint8_t> report) {
    return sendReports(dir, socketName, {report});
}

} // namespace corvane::device::virtualkbd
