#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The key-state interface's 16-byte reports: byte 0 unused, bytes 1...15 a bit map where bit b of byte i
// is bit number (i - 1) * 8 + b, set while that key is down.
namespace corvane::device {

inline constexpr size_t kKeyStateReportSize = 16;
using KeyStateReport = std::array<uint8_t, kKeyStateReportSize>;

struct KeyStateChange {
    unsigned key;
    bool pressed;
    bool operator==(const KeyStateChange&) const = default;
};

// The key number of a report bit: the bit itself on the main keyboard (and for an unknown model); the
// keypad's own wiring on the auxiliary keypad, where an unlisted bit is key 0.
unsigned keyForStateBit(uint32_t model, unsigned bit);
// The report bit of a key number, for senders of reports (the virtual keyboard).
unsigned stateBitForKey(uint32_t model, unsigned key);

// Appends the changes from `previous` to `report`: byte by byte in order 1...15, the presses of a byte
// (bit order) before its releases.
void keyStateChanges(uint32_t model, std::span<const uint8_t, kKeyStateReportSize> previous,
                     std::span<const uint8_t, kKeyStateReportSize> report, std::vector<KeyStateChange>& out);

// Sets or clears a key's bit in a report.
void setKeyInReport(uint32_t model, unsigned key, bool down, KeyStateReport& report);

} // namespace corvane::device
