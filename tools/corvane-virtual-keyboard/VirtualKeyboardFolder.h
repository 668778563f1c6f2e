#pragma once

#include "device/VirtualKeyboard.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The folder that plays a keyboard's volume: the firmware's own files (version, key-code table), what
// the configurator writes there, the two sockets that play the HID interfaces, and the keys that the
// tool holds down between its one-shot commands.
namespace corvane::vkbd {

namespace fs = std::filesystem;

inline constexpr std::string_view kDefaultFirmware = device::virtualkbd::kDefaultVersion;
// The firmware writes its version into a 27-byte file: 26 characters and the terminating zero.
inline constexpr std::size_t kMaxFirmwareLength = 26;

struct InitOptions {
    std::string firmware{kDefaultFirmware};
    std::uint32_t model = 0;
};

struct FolderPaths {
    fs::path root;
    fs::path version() const { return root / device::virtualkbd::kVersionFile; }
    fs::path keyCodeTable() const { return root / "vTavirex" / "scancode.sys"; }
    fs::path displayMap() const { return root / "vTavirex" / "layout.sys"; }
    fs::path order() const { return root / "vTavirex" / "order.sys"; }
    fs::path dynamicFolder() const { return root / "vTavirex" / "dynamic"; }
    fs::path display(unsigned number) const;
    fs::path keyStateSocket() const { return root / device::virtualkbd::kKeyStateSocket; }
    fs::path standardSocket() const { return root / device::virtualkbd::kStandardSocket; }
    fs::path keysDown() const { return root / "keys-down"; }
    fs::path keysDownLock() const { return root / "keys-down.lock"; }
};

// Creates the folder (and its parents) as a fresh keyboard of the model would present it (see
// device/VirtualKeyboard.h); no key is held afterwards. Answers an error text, empty on success.
std::string initVirtualKeyboard(const fs::path& dir, const InitOptions& options);

// The model that `init` recorded; empty when the folder is no virtual keyboard (it has no version file).
std::optional<std::uint32_t> readModel(const fs::path& dir);

// Reads a whole file; empty when it cannot be read.
std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path);
bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes);

// The keys that earlier `press` commands left down.
std::set<unsigned> readKeysDown(const fs::path& dir);
bool writeKeysDown(const fs::path& dir, const std::set<unsigned>& keys);

} // namespace corvane::vkbd
