#include "device/VirtualKeyboard.h"

#include "RecordingHandler.h"
#include "TestFolder.h"
#include "device/TavirexCorvane.h"
#include "device/VirtualKeyboardBackend.h"
#include "support/ManualLoop.h"

#include <gtest/gtest.h>

using namespace corvane::device;
using namespace std::chrono_literals;

namespace {

KeyStateReport reportWith(std::initializer_list<unsigned> keys) {
    KeyStateReport report{};
    for (unsigned key : keys)
        setKeyInReport(KeyboardModelMain, key, true, report);
    return report;
}

bool sendKeys(const std::filesystem::path& folder, std::initializer_list<unsigned> keys) {
    return virtualkbd::sendVirtualReport(folder, virtualkbd::kKeyStateSocket, reportWith(keys));
}

struct VirtualKeyboard : ::testing::Test {
    TestKeyboardFolder folder{""};
    KVManualLoop loop;
    RecordingHandler handler{loop};

    void SetUp() override {
        ASSERT_TRUE(virtualkbd::createVirtualKeyboard(folder.path(), "TavirexV0.76b", 0));
    }
    std::unique_ptr<CTavirexCorvane> device(const std::filesystem::path& at) {
        auto device =
            std::make_unique<CTavirexCorvane>(std::make_shared<KVVirtualKeyboardBackend>(at), &loop);
        device->SetEventHandler(&handler);
        return device;
    }
    bool runUntilEvents(size_t count) {
        return loop.runUntil([&] { return handler.events.size() >= count; }, 5s);
    }
};

} // namespace

TEST_F(VirtualKeyboard, KeyReportsReachTheHandlerInOrderAndClosingReleasesHeldKeys) {
    auto keyboard = device(folder.path());
    ASSERT_TRUE(keyboard->Connect());
    EXPECT_EQ(keyboard->SectorSize(), 512u);
    EXPECT_TRUE(keyboard->IsKeyStateOpen());
    EXPECT_FALSE(keyboard->Connect()); // one keyboard at a time
    EXPECT_EQ(keyboard->FileSet()->foundTable()[7 * 64 + 1],
              0x29); // the firmware's table, read at connection
    // A second instance opens the keyboard without the key-state interface: the first keeps its socket.
    CTavirexCorvane second(std::make_shared<KVVirtualKeyboardBackend>(folder.path()));
    ASSERT_TRUE(second.Connect());
    EXPECT_FALSE(second.IsKeyStateOpen());

    ASSERT_TRUE(sendKeys(folder.path(), {0, 2}));
    ASSERT_TRUE(sendKeys(folder.path(), {2, 112}));
    ASSERT_TRUE(runUntilEvents(5));
    EXPECT_EQ(handler.events,
              (std::vector<std::string>{"connected", "down 0", "down 2", "up 0", "down 112"}));
    EXPECT_EQ(keyboard->LastKeyStateReport(), reportWith({2, 112}));

    // Reports of another length are not key states.
    const uint8_t shortReport[] = {0, 0xFF};
    ASSERT_TRUE(virtualkbd::sendVirtualReport(folder.path(), virtualkbd::kKeyStateSocket, shortReport));
    ASSERT_TRUE(sendKeys(folder.path(), {2}));
    ASSERT_TRUE(runUntilEvents(6));
    EXPECT_EQ(handler.events.back(), "up 112");

    // Closing releases what is still held, then says so.
    keyboard->Disconnect();
    EXPECT_EQ(std::vector(handler.events.end() - 2, handler.events.end()),
              (std::vector<std::string>{"up 2", "disconnected"}));
    EXPECT_FALSE(keyboard->IsConnected());
    EXPECT_FALSE(keyboard->IsKeyStateOpen());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "key-state.sock"));
    EXPECT_FALSE(sendKeys(folder.path(), {1}));
}

TEST_F(VirtualKeyboard, ArrivalAndRemovalFollowTheFolder) {
    const auto later = folder.path() / "later";
    auto keyboard = device(later);
    ASSERT_TRUE(keyboard->StartMonitoring());
    EXPECT_FALSE(keyboard->Connect());
    EXPECT_FALSE(keyboard->SetKeyCode(0, 4));
    EXPECT_FALSE(keyboard->StageFirmware(std::vector<uint8_t>(655360)));
    ASSERT_TRUE(virtualkbd::createVirtualKeyboard(later, "TavirexV0.90", 0));
    ASSERT_TRUE(loop.runUntil([&] { return keyboard->IsConnected(); }, 5s));
    EXPECT_EQ(keyboard->VersionText(), "TavirexV0.90");
    ASSERT_TRUE(sendKeys(later, {3}));
    ASSERT_TRUE(runUntilEvents(2));

    std::filesystem::remove(later / "vTavirex/version.sys");
    ASSERT_TRUE(loop.runUntil([&] { return !keyboard->IsConnected(); }, 5s));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"connected", "down 3", "up 3", "disconnected"}));
}

TEST_F(VirtualKeyboard, ShutdownWhileKeysStreamDoesNotDeadlock) {
    for (bool refuse : {false, true}) {
        KVManualLoop ownLoop;
        RecordingHandler ownHandler(ownLoop);
        auto keyboard = std::make_unique<CTavirexCorvane>(
            std::make_shared<KVVirtualKeyboardBackend>(folder.path()), &ownLoop);
        keyboard->SetEventHandler(&ownHandler);
        ASSERT_TRUE(keyboard->Connect());
        // Reports pile up while the loop thread does not serve the writer's sends.
        for (unsigned i = 0; i < 6; ++i)
            ASSERT_TRUE(sendKeys(folder.path(), {i % 2 ? 1u : 2u}));
        // The writer is now waiting for the loop thread, which does not serve it here.
        while (ownHandler.attempts < 2)
            std::this_thread::sleep_for(1ms);
        if (refuse)
            ownLoop.refuseSends();
        keyboard.reset(); // waits for the writer while serving (or refusing) its sends
        if (refuse)
            EXPECT_GT(ownHandler.refused, 0u);
        else
            EXPECT_GT(ownHandler.events.size(), 1u);
    }
}
