// The tool against the configurator's own listening side of a virtual keyboard: what `press` and
// `click` send arrives there whole and decodes to the keys named.
#include "RunTool.h"
#include "TempFolder.h"
#include "VirtualKeyboardFolder.h"
#include "device/KeySignatureDecoder.h"
#include "device/KeyStateReport.h"
#include "device/SocketReportPort.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <vector>

using namespace corvane;

namespace {

// Reads reports from the port until `count` arrived or two seconds passed.
std::vector<std::vector<std::uint8_t>> receive(KVReportPort& port, std::size_t count) {
    std::vector<std::vector<std::uint8_t>> reports;
    for (int round = 0; round < 100 && reports.size() < count; ++round) {
        pollfd ready{port.pollFd(), POLLIN, 0};
        ::poll(&ready, 1, 20);
        port.readReports([&](std::span<const std::uint8_t> report) {
            reports.emplace_back(report.begin(), report.end());
        });
    }
    return reports;
}

TEST(ConfiguratorPort, ReceivesPressesAndClicksFromTheTool) {
    TempFolder folder;
    const auto dir = folder.path() / "kbd";
    ASSERT_EQ(vkbd::initVirtualKeyboard(dir, {}), "");
    const vkbd::FolderPaths paths{dir};
    auto keyState = KVSocketReportPort::listen(paths.keyStateSocket().string());
    auto standard = KVSocketReportPort::listen(paths.standardSocket().string());
    ASSERT_TRUE(keyState && standard);

    ASSERT_EQ(runTool({"press", dir.string(), "CtrlLeft", "KeypadEnter"}), 0);
    auto reports = receive(*keyState, 1);
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(reports[0].size(), device::kKeyStateReportSize);
    std::vector<device::KeyStateChange> changes;
    device::keyStateChanges(0, device::KeyStateReport{},
                            std::span<const std::uint8_t, device::kKeyStateReportSize>(reports[0].data(), 16),
                            changes);
    EXPECT_EQ(changes, (std::vector<device::KeyStateChange>{{100, true}, {112, true}}));

    ASSERT_EQ(runTool({"click", dir.string(), "Spacebar"}), 0);
    reports = receive(*standard, 6);
    ASSERT_EQ(reports.size(), 6u);
    device::KVSignatureDecoder decoder;
    std::vector<unsigned> clicked;
    for (const auto& report : reports) {
        EXPECT_EQ(report.size(), device::kSignatureReportSize);
        if (auto key = decoder.feed(report))
            clicked.push_back(*key);
    }
    EXPECT_EQ(clicked, std::vector<unsigned>{103});
}

} // namespace
