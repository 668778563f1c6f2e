#include "device/VirtualKeyboard.h"

#include "RecordingHandler.h"
#include "TestFolder.h"
#include "device/TavirexCorvane.h"
#include "device/VirtualKeyboardBackend.h"
#include "support/ManualLoop.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace corvane::device;
using namespace std::chrono_literals;

namespace {

KeyStateReport reportWith(std::initializer_list<unsigned> keys, uint32_t model = 0) {
    KeyStateReport report{};
    for (unsigned key : keys)
        setKeyInReport(model, key, true, report);
    return report;
}

bool sendKeys(const TestKeyboardFolder& folder, std::initializer_list<unsigned> keys) {
    return virtualkbd::sendVirtualReport(folder.path(), virtualkbd::kKeyStateSocket, reportWith(keys));
}

struct VirtualKeyboard : ::testing::Test {
    TestKeyboardFolder folder{""};
    KVManualLoop loop;
    RecordingHandler handler{loop};

    void SetUp() override {
        ASSERT_TRUE(virtualkbd::createVirtualKeyboard(folder.path(), "TavirexV0.76b", 0));
    }

    std::unique_ptr<CTavirexCorvane> connect() {
        auto device = std::make_unique<CTavirexCorvane>(
            std::make_shared<KVVirtualKeyboardBackend>(folder.path()), &loop);
        device->SetEventHandler(&handler);
        EXPECT_TRUE(device->Connect());
        return device;
    }
    bool runUntilEvents(size_t count) {
        return loop.runUntil([&] { return handler.events.size() >= count; }, 5s);
    }
};

} // namespace

TEST_F(VirtualKeyboard, FoundAndOpenedWithItsFolderAndSockets) {
    auto device = connect();
    ASSERT_TRUE(device->IsConnected());
    EXPECT_EQ(device->SectorSize(), 512u);
    EXPECT_TRUE(device->IsKeyStateOpen());
    EXPECT_FALSE(device->Connect()); // one keyboard at a time
    EXPECT_EQ(handler.events, std::vector<std::string>{"connected"});

    // The firmware's own table was read at connection.
    EXPECT_EQ(device->FileSet()->foundTable()[7 * 64 + 1], 0x29);
}

TEST_F(VirtualKeyboard, KeyReportsReachTheHandlerInOrder) {
    auto device = connect();
    ASSERT_TRUE(sendKeys(folder, {0, 2}));
    ASSERT_TRUE(sendKeys(folder, {2, 112}));
    ASSERT_TRUE(runUntilEvents(5));
    EXPECT_EQ(handler.events,
              (std::vector<std::string>{"connected", "down 0", "down 2", "up 0", "down 112"}));
    EXPECT_EQ(device->LastKeyStateReport(), reportWith({2, 112}));

    // Reports of another length are not key states.
    const uint8_t shortReport[] = {0, 0xFF};
    ASSERT_TRUE(virtualkbd::sendVirtualReport(folder.path(), virtualkbd::kKeyStateSocket, shortReport));
    ASSERT_TRUE(sendKeys(folder, {2}));
    ASSERT_TRUE(runUntilEvents(6));
    EXPECT_EQ(handler.events.back(), "up 112");

    // Closing releases what is still held, then says so.
    device->Disconnect();
    EXPECT_EQ(handler.events.back(), "disconnected");
    EXPECT_EQ(handler.events[handler.events.size() - 2], "up 2");
    EXPECT_FALSE(device->IsConnected());
    EXPECT_FALSE(device->IsKeyStateOpen());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "key-state.sock"));
    EXPECT_FALSE(sendKeys(folder, {1}));
}

TEST_F(VirtualKeyboard, ArrivalAndRemovalFollowTheFolder) {
    const auto later = folder.path() / "later";
    auto device = std::make_unique<CTavirexCorvane>(std::make_shared<KVVirtualKeyboardBackend>(later), &loop);
    device->SetEventHandler(&handler);
    ASSERT_TRUE(device->StartMonitoring());
    EXPECT_FALSE(device->Connect());
    ASSERT_TRUE(virtualkbd::createVirtualKeyboard(later, "TavirexV0.90", 0));
    ASSERT_TRUE(loop.runUntil([&] { return device->IsConnected(); }, 5s));
    EXPECT_EQ(device->VersionText(), "TavirexV0.90");
    ASSERT_TRUE(virtualkbd::sendVirtualReport(later, virtualkbd::kKeyStateSocket, reportWith({3})));
    ASSERT_TRUE(runUntilEvents(2));

    std::filesystem::remove(later / "vTavirex/version.sys");
    ASSERT_TRUE(loop.runUntil([&] { return !device->IsConnected(); }, 5s));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"connected", "down 3", "up 3", "disconnected"}));
}

TEST_F(VirtualKeyboard, ShutdownWhileKeysStreamDoesNotDeadlock) {
    for (bool refuse : {false, true}) {
        KVManualLoop ownLoop;
        RecordingHandler ownHandler(ownLoop);
        auto device = std::make_unique<CTavirexCorvane>(
            std::make_shared<KVVirtualKeyboardBackend>(folder.path()), &ownLoop);
        device->SetEventHandler(&ownHandler);
        ASSERT_TRUE(device->Connect());
        // Reports pile up while the loop thread does not serve the writer's sends.
        for (unsigned i = 0; i < 6; ++i)
            ASSERT_TRUE(sendKeys(folder, {i % 2 ? 1u : 2u}));
        // The writer is now waiting for the loop thread, which does not serve it here.
        while (ownHandler.attempts < 2)
            std::this_thread::sleep_for(1ms);
        if (refuse)
            ownLoop.refuseSends();
        device.reset(); // waits for the writer while serving (or refusing) its sends
        if (refuse) {
            EXPECT_GT(ownHandler.refused, 0u);
        } else {
            EXPECT_GT(ownHandler.events.size(), 1u);
        }
    }
}

TEST_F(VirtualKeyboard, SocketInUseIsNotTaken) {
    auto first = connect();
    auto second =
        std::make_unique<CTavirexCorvane>(std::make_shared<KVVirtualKeyboardBackend>(folder.path()));
    // Opened without the key-state interface: the first instance keeps its socket.
    ASSERT_TRUE(second->Connect());
    EXPECT_FALSE(second->IsKeyStateOpen());
    ASSERT_TRUE(sendKeys(folder, {4}));
    ASSERT_TRUE(runUntilEvents(2));
    EXPECT_EQ(handler.events.back(), "down 4");
}

TEST_F(VirtualKeyboard, MissingFolderIsNoKeyboard) {
    CTavirexCorvane device(std::make_shared<KVVirtualKeyboardBackend>(folder.path() / "absent"));
    EXPECT_FALSE(device.Connect());
    EXPECT_FALSE(device.SetKeyCode(0, 4));
    EXPECT_FALSE(device.StageFirmware(std::vector<uint8_t>(655360)));
    device.Disconnect();
}
