#include "device/KeySignatureDecoder.h"
#include "device/KeyStateReport.h"
#include "device/KeyTables.h"

#include <gtest/gtest.h>

using namespace corvane::device;

namespace {

std::vector<KeyStateChange> changes(uint32_t model, const KeyStateReport& before,
                                    const KeyStateReport& after) {
    std::vector<KeyStateChange> out;
    keyStateChanges(model, before, after, out);
    return out;
}

} // namespace

TEST(KeyStateReport, PressesOfAByteBeforeItsReleasesBytesInOrder) {
    KeyStateReport before{}, after{};
    before[1] = 0b0000'0010; // key 1 down
    before[3] = 0b1000'0000; // key 23 down
    after[0] = 0xFF;         // byte 0 carries no keys
    after[1] = 0b0000'0101;  // keys 0 and 2 down, 1 up
    after[2] = 0b0000'0001;  // key 8 down
    after[15] = 0b1000'0000; // bit 119: beyond the main keyboard, reported as it is
    const std::vector<KeyStateChange> expected = {{0, true}, {2, true},   {1, false},
                                                  {8, true}, {23, false}, {119, true}};
    EXPECT_EQ(changes(KeyboardModelMain, before, after), expected);
    EXPECT_TRUE(changes(KeyboardModelMain, after, after).empty());
}

TEST(KeyStateReport, KeypadBitsAreMappedAndSendersAndReadersAgreeOnEveryKey) {
    KeyStateReport bit16{}, bit5{};
    bit16[3] = 0b0000'0001;
    bit5[1] = 0b0010'0000; // not in the keypad's table
    EXPECT_EQ(changes(KeyboardModelKeypad, {}, bit16), (std::vector<KeyStateChange>{{1, true}}));
    EXPECT_EQ(changes(KeyboardModelKeypad, {}, bit5), (std::vector<KeyStateChange>{{0, true}}));
    EXPECT_EQ(keyForStateBit(KeyboardModelKeypad, 98), 13u);
    for (uint32_t model : {0u, 1u})
        for (unsigned key = 0; key < modelDescriptor(model).keyCount; ++key) {
            KeyStateReport report{};
            setKeyInReport(model, key, true, report);
            EXPECT_EQ(changes(model, {}, report), (std::vector<KeyStateChange>{{key, true}}))
                << model << " " << key;
            setKeyInReport(model, key, false, report);
            EXPECT_EQ(report, KeyStateReport{});
        }
}

TEST(KeySignatureDecoder, MarkerThenLowThenHighDigit) {
    KVSignatureDecoder decoder;
    const auto feed = [&](unsigned index) { return decoder.feed(signatureReport(index)); };
    EXPECT_EQ(feed(4), std::nullopt); // a digit before any marker is ignored
    EXPECT_EQ(feed(0), std::nullopt);
    EXPECT_EQ(feed(12), std::nullopt); // nothing pressed between codes
    EXPECT_EQ(feed(4), std::nullopt);  // digit 3
    EXPECT_EQ(feed(0), std::nullopt);  // a second marker in the middle is ignored
    EXPECT_EQ(feed(3), 25u);           // digit 2: 2 * 11 + 3
    EXPECT_EQ(feed(3), std::nullopt);  // back to waiting for a marker

    // Only the first seven bytes count; unknown reports are ignored.
    SignatureReport marker = signatureReport(0);
    marker[7] = marker[8] = marker[9] = 0xAA;
    EXPECT_EQ(signaturePatternIndex(marker), 0u);
    const uint8_t unknown[] = {0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(signaturePatternIndex(unknown), std::nullopt);
    EXPECT_EQ(signaturePatternIndex(std::span(unknown, 6)), std::nullopt);

    for (unsigned key = 0; key < 121; ++key) {
        KVSignatureDecoder fresh;
        std::optional<unsigned> decoded;
        for (const SignatureReport& report : signatureClickReports(key))
            if (auto got = fresh.feed(report))
                decoded = got;
        EXPECT_EQ(decoded, key);
    }
}
