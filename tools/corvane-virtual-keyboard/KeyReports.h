#pragma once

#include "device/KeyStateReport.h"

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

// Sending reports to the configurator over the sockets of a virtual keyboard.
namespace corvane::vkbd {

// The key-state report while exactly `keysDown` are held.
device::KeyStateReport keyStateReport(std::uint32_t model, const std::set<unsigned>& keysDown);

// Connects to a listening SOCK_SEQPACKET socket and sends each packet in order over that one
// connection: reports sent over separate connections could be read in another order. An error text,
// empty on success.
std::string sendPackets(const std::filesystem::path& socket,
                        std::span<const std::vector<std::uint8_t>> packets);

} // namespace corvane::vkbd
