#include "support/ManualLoop.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

TEST(ManualLoop, VirtualTimersFireInOrderAndRepeatUntilCancelled) {
    KVManualLoop loop(KVManualLoop::Clock::Virtual);
    std::vector<int> fired;
    const auto tick = loop.addTimer(100ms, true, [&] { fired.push_back(100); });
    loop.addTimer(250ms, false, [&] { fired.push_back(250); });
    loop.advance(300ms);
    EXPECT_EQ(fired, (std::vector<int>{100, 100, 250, 100}));
    loop.cancelTimer(tick);
    loop.advance(1s);
    EXPECT_EQ(fired.size(), 4u);
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(ManualLoop, PostedTasksFromAnyThreadRunOnTheLoop) {
    KVManualLoop loop;
    int ran = 0;
    std::thread([&] { loop.post([&] { ++ran; }); }).join();
    EXPECT_TRUE(loop.runUntil([&] { return ran == 1; }, 5s));
}

TEST(ManualLoop, FdWatchReportsReadableUntilRemoved) {
    KVManualLoop loop;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int calls = 0;
    const auto watch = loop.watchFd(fds[0], KVMainLoop::Readable, [&](unsigned events) {
        EXPECT_TRUE(events & KVMainLoop::Readable);
        char c;
        EXPECT_EQ(::read(fds[0], &c, 1), 1);
        ++calls;
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    EXPECT_TRUE(loop.runUntil([&] { return calls == 1; }, 5s));
    loop.unwatchFd(watch);
    ASSERT_EQ(::write(fds[1], "y", 1), 1);
    loop.runOnce(20ms);
    EXPECT_EQ(calls, 1);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(ManualLoop, RunReturnsTheQuitCode) {
    KVManualLoop loop;
    loop.addTimer(5ms, false, [&] { loop.quit(3); });
    EXPECT_EQ(loop.run(), 3);
}
