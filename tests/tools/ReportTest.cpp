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
