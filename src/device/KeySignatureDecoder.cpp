#include "device/KeySignatureDecoder.h"

#include <algorithm>

namespace corvane::device {
namespace {

constexpr size_t kComparedBytes = 7;
constexpr uint8_t kPatterns[13][kComparedBytes] = {
    {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}, // marker 0x7A
    {0x01, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}, // digit 0: 0x7E
    {0x01, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00}, // digit 1: 0x7F
    {0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00}, // digit 2: 0x81
    {0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00}, // digit 3: 0x83
    {0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00}, // digit 4: 0x86
    {0x01, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00}, // digit 5: 0x87
    {0x01, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00}, // digit 6: 0x88
    {0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00}, // digit 7: 0x89
    {0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, // digit 8: 0x8A
    {0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}, // digit 9: 0x8B
    {0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00}, // digit 10: 0x8C
    {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // nothing pressed
};

} // namespace

std::optional<unsigned> signaturePatternIndex(std::span<const uint8_t> report) {
    if (report.size() < kComparedBytes)
        return std::nullopt;
    for (unsigned i = 0; i < std::size(kPatterns); ++i) {
        if (std::equal(kPatterns[i], kPatterns[i] + kComparedBytes, report.begin()))
            return i;
    }
    return std::nullopt;
}

SignatureReport signatureReport(unsigned index) {
    SignatureReport report{};
    if (index < std::size(kPatterns))
        std::copy_n(kPatterns[index], kComparedBytes, report.begin());
    return report;
}

std::vector<SignatureReport> signatureClickReports(unsigned key) {
    std::vector<SignatureReport> reports;
    for (unsigned index : {kSignatureMarkerIndex, 1 + key % 11, 1 + (key / 11) % 11}) {
        reports.push_back(signatureReport(index));
        reports.push_back(signatureReport(kSignatureReleaseIndex));
    }
    return reports;
}

std::optional<unsigned> KVSignatureDecoder::feed(std::span<const uint8_t> report) {
    const auto index = signaturePatternIndex(report);
    if (!index || *index == kSignatureReleaseIndex)
        return std::nullopt;
    const bool digit = *index != kSignatureMarkerIndex;
    switch (m_state) {
    case 0:
        if (!digit)
            m_state = 1;
        return std::nullopt;
    case 1:
        if (digit) {
            m_digit = *index - 1;
            m_state = 2;
        }
        return std::nullopt;
    default:
        if (!digit)
            return std::nullopt;
        const unsigned key = (*index - 1) * 11 + m_digit;
        reset();
        return key;
    }
}

} // namespace corvane::device
