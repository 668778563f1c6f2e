#include "device/KeyStateReport.h"

#include "device/KeyTables.h"

namespace corvane::device {
namespace {

struct KeypadBit {
    uint8_t bit;
    uint8_t key;
};
constexpr KeypadBit kKeypadBits[] = {{1, 3},  {2, 6},   {3, 9},   {4, 12}, {16, 1}, {18, 2},  {19, 5},
                                     {20, 8}, {21, 11}, {22, 14}, {39, 4}, {61, 7}, {80, 10}, {98, 13}};

// Key 0 (A1) has no bit of its own in the keypad's wiring; it reports as a bit no other key uses.
constexpr unsigned kKeypadKey0Bit = 0;

} // namespace

unsigned keyForStateBit(uint32_t model, unsigned bit) {
    if (model != KeyboardModelKeypad)
        return bit;
    for (const KeypadBit& entry : kKeypadBits) {
        if (entry.bit == bit)
            return entry.key;
    }
    return 0;
}

unsigned stateBitForKey(uint32_t model, unsigned key) {
    if (model != KeyboardModelKeypad)
        return key;
    for (const KeypadBit& entry : kKeypadBits) {
        if (entry.key == key)
            return entry.bit;
    }
    return kKeypadKey0Bit;
}

void keyStateChanges(uint32_t model, std::span<const uint8_t, kKeyStateReportSize> previous,
                     std::span<const uint8_t, kKeyStateReportSize> report, std::vector<KeyStateChange>& out) {
    for (unsigned i = 1; i < kKeyStateReportSize; ++i) {
        const uint8_t pressed = report[i] & ~previous[i];
        const uint8_t released = previous[i] & ~report[i];
        for (unsigned b = 0; b < 8; ++b) {
            if (pressed & (1u << b))
                out.push_back({keyForStateBit(model, (i - 1) * 8 + b), true});
        }
        for (unsigned b = 0; b < 8; ++b) {
            if (released & (1u << b))
                out.push_back({keyForStateBit(model, (i - 1) * 8 + b), false});
        }
    }
}

void setKeyInReport(uint32_t model, unsigned key, bool down, KeyStateReport& report) {
    const unsigned bit = stateBitForKey(model, key);
    const unsigned byte = 1 + bit / 8;
    if (byte >= kKeyStateReportSize)
        return;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    report[byte] = down ? uint8_t(report[byte] | mask) : uint8_t(report[byte] & ~mask);
}

} // namespace corvane::device
