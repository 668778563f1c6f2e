#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Key signatures as they arrive on the keyboard's standard HID interface: 10-byte reports whose first
// seven bytes show which signature code is held (a marker, eleven digits, or nothing).
namespace corvane::device {

inline constexpr size_t kSignatureReportSize = 10;
using SignatureReport = std::array<uint8_t, kSignatureReportSize>;

// Report pattern index: 0 the marker, 1...11 the digits 0...10, 12 nothing pressed.
inline constexpr unsigned kSignatureMarkerIndex = 0;
inline constexpr unsigned kSignatureReleaseIndex = 12;

// The pattern a report matches (its first seven bytes), if any.
std::optional<unsigned> signaturePatternIndex(std::span<const uint8_t> report);
// The report of a pattern index, for senders of reports (the virtual keyboard).
SignatureReport signatureReport(unsigned index);
// What the keyboard sends when a key with a signature record is clicked: marker, low digit, high digit,
// each pressed and released.
std::vector<SignatureReport> signatureClickReports(unsigned key);

// Turns a stream of signature reports into key numbers: marker, then the low digit, then the high one.
class KVSignatureDecoder {
public:
    // The key number once a sequence is complete.
    std::optional<unsigned> feed(std::span<const uint8_t> report);
    void reset() {
        m_state = 0;
        m_digit = 0;
    }

private:
    unsigned m_state = 0;
    unsigned m_digit = 0;
};

} // namespace corvane::device
