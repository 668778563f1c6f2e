#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// The virtual keyboard: a folder that plays the keyboard's volume (vTavirex/... as on the device) and
// two SOCK_SEQPACKET sockets in it that play the HID interfaces, one report per packet. The configurator
// listens on the sockets while it has the keyboard open; senders connect, send and close.
//
//   DIR/vTavirex/version.sys   the firmware identity; the keyboard is present while this file exists
//   DIR/model                  "0" (main keyboard, the default) or "1" (auxiliary keypad)
//   DIR/key-state.sock         16-byte key-state reports
//   DIR/standard.sock          10-byte signature reports
//   DIR/held-keys              the keys a sender holds down, as the last key-state report it sent
namespace corvane::device::virtualkbd {

inline constexpr std::string_view kKeyStateSocket = "key-state.sock";
inline constexpr std::string_view kStandardSocket = "standard.sock";
inline constexpr std::string_view kModelFile = "model";
inline constexpr std::string_view kVersionFile = "vTavirex/version.sys";
inline constexpr std::string_view kDefaultVersion = "TavirexV0.76b";
inline constexpr std::string_view kHeldKeysFile = "held-keys";
inline constexpr uint32_t kSectorSize = 512;

// Lays out a fresh keyboard in `dir`: the folders, the version file, the model and, as the firmware
// ships it, a key-code table in which every key sends its default code. Existing files other than
// version and model are kept. False (logged) on failure.
bool createVirtualKeyboard(const std::filesystem::path& dir, std::string_view version, uint32_t model);

// The model written in `dir` (0 when missing or not understood).
uint32_t virtualKeyboardModel(const std::filesystem::path& dir);

// Sends one report to the interface `socket` of the keyboard in `dir`. False when nobody listens.
bool sendVirtualReport(const std::filesystem::path& dir, std::string_view socket,
                       std::span<const uint8_t> report);

} // namespace corvane::device::virtualkbd
