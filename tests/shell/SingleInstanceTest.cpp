#include "shell/SingleInstance.h"

#include "core/MessageDispatch.h"
#include "shell/CommandLine.h"
#include "support/ManualLoop.h"

#include <filesystem>
#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const KVSingleInstance::Timing kQuick{50ms, 1500ms, 1ms};

CKVCommandLineInfo commandLine(std::vector<const char*> args) {
    args.insert(args.begin(), "corvane-configurator");
    return CKVCommandLineInfo::parse(int(args.size()), args.data());
}

struct SingleInstanceTest : ::testing::Test {
    std::string folder;
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    std::unique_ptr<KVSingleInstance> first;
    std::vector<std::string> received;

    void onShow() { received.push_back("show"); }
    void onOpen(const char* path) { received.push_back(std::string("open ") + path); }
    void onDestroy() { received.push_back("close"); }

    void SetUp() override {
        char pattern[] = "/tmp/corvane-instance-XXXXXX";
        folder = ::mkdtemp(pattern);
        dispatch.RegisterHandler<KVM_SHOW_EDITOR>(this, &SingleInstanceTest::onShow);
        dispatch.RegisterHandler<KVM_OPEN_LAYERS_FILE>(this, &SingleInstanceTest::onOpen);
        dispatch.RegisterHandler<KVM_DESTROY>(this, &SingleInstanceTest::onDestroy);
        first = std::make_unique<KVSingleInstance>(folder, kQuick);
        ASSERT_EQ(first->check(commandLine({})), KVSingleInstance::Outcome::First);
        first->serve(loop, dispatch);
    }
    void TearDown() override {
        first.reset();
        std::filesystem::remove_all(folder);
    }

    // Runs a later start on its own thread while this thread serves the first instance.
    KVSingleInstance::Outcome startSecond(std::vector<const char*> args, size_t expectReceived) {
        KVSingleInstance second(folder, kQuick);
        auto outcome = std::async(std::launch::async, [&] { return second.check(commandLine(args)); });
        loop.runUntil([&] { return received.size() >= expectReceived; }, 5s);
        return outcome.get();
    }
};

TEST_F(SingleInstanceTest, ALaterStartShowsTheEditorOrHandsOverTheArchivePathAsWritten) {
    EXPECT_EQ(startSecond({}, 1), KVSingleInstance::Outcome::HandedOver);
    EXPECT_EQ(startSecond({"/home/me/Games.LAYERS"}, 2), KVSingleInstance::Outcome::HandedOver);
    EXPECT_EQ(received, (std::vector<std::string>{"show", "open /home/me/Games.LAYERS"}));
}

// A restart that ends the running instance and takes over is run end to end with the program itself.
TEST_F(SingleInstanceTest, RestartGivesUpWhenTheRunningInstanceDoesNotEnd) {
    dispatch.SetDestroyedCallback([] {}); // closes its window but the process hangs on to the lock
    EXPECT_EQ(startSecond({"-restart"}, 1), KVSingleInstance::Outcome::RestartTimedOut);
}

TEST_F(SingleInstanceTest, ARequestToAnUnreachableInstanceIsLostButTheStartEnds) {
    std::filesystem::remove(folder + "/dispatch.sock");
    KVSingleInstance second(folder, kQuick);
    EXPECT_EQ(second.check(commandLine({})), KVSingleInstance::Outcome::HandedOver);
    loop.runOnce(20ms);
    EXPECT_TRUE(received.empty());
}

} // namespace
