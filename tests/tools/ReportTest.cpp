// The reports the tool sends are the ones the configurator's decoders understand, for every key.
#include "KeyReports.h"
#include "device/KeySignatureDecoder.h"
#include "device/KeyStateReport.h"
#include "device/KeyTables.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

TEST(KeyStateReport, EveryKeyComesBackAsItself) {
    for (std::uint32_t model : {0u, 1u}) {
        const device::KeyStateReport none{};
        for (unsigned key = 0; key < device::modelDescriptor(model).keyCount; ++key) {
            const auto report = vkbd::keyStateReport(model, {key});
            std::vector<device::KeyStateChange> changes;
            device::keyStateChanges(model, none, report, changes);
            EXPECT_EQ(changes, (std::vector<device::KeyStateChange>{{key, true}})) << model << " " << key;
        }
    }
}

TEST(KeyStateReport, HoldsSeveralKeysAndSkipsKeysTheModelLacks) {
    device::KeyStateReport expected{};
    expected[1] = 0x01;  // key 0
    expected[4] = 0x02;  // key 25: byte 1 + 3, bit 1
    expected[15] = 0x01; // key 112: byte 1 + 14, bit 0
    EXPECT_EQ(vkbd::keyStateReport(0, {0, 25, 112, 113}), expected);
    EXPECT_EQ(vkbd::keyStateReport(1, {15}), device::KeyStateReport{});
}

TEST(SignatureReports, EveryKeyIsDecodedFromItsClick) {
    device::KVSignatureDecoder decoder;
    for (unsigned key = 0; key < device::kMainKeyCount; ++key) {
        std::optional<unsigned> decoded;
        for (const auto& report : device::signatureClickReports(key)) {
            if (auto result = decoder.feed(report))
                decoded = result;
        }
        EXPECT_EQ(decoded, key);
    }
}

} // namespace
