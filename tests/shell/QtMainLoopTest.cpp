#include "shell/QtMainLoop.h"

#include "core/MessageDispatch.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QCoreApplication& qtApp() {
    static int argc = 1;
    static char name[] = "shell_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

TEST(QtMainLoop, TimersWatchesAndWorkerSendsRunOnTheLoopThread) {
    KVQtMainLoop loop(qtApp());
    CKVMessageDispatch dispatch(loop);

    int ticks = 0;
    KVMainLoop::TimerId tick = 0;
    tick = loop.addTimer(5ms, true, [&] {
        if (++ticks == 3)
            loop.cancelTimer(tick); // cancelling from inside its own callback
    });

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    bool readable = false;
    loop.watchFd(fds[0], KVMainLoop::Readable, [&](unsigned) {
        char c;
        EXPECT_EQ(::read(fds[0], &c, 1), 1);
        readable = true;
    });
    ASSERT_EQ(::write(fds[1], "x", 1), 1);

    struct Receiver {
        std::thread::id thread;
        void onKey(unsigned, int) { thread = std::this_thread::get_id(); }
    } receiver;
    dispatch.RegisterHandler<KVM_KEY_EVENT>(&receiver, &Receiver::onKey);
    bool sent = false;
    std::thread worker([&] { sent = dispatch.send<KVM_KEY_EVENT>(4, 1); });

    loop.addTimer(300ms, false, [&] { loop.quit(7); });
    EXPECT_EQ(loop.run(), 7);
    worker.join();

    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(readable);
    EXPECT_TRUE(sent);
    EXPECT_EQ(receiver.thread, std::this_thread::get_id());
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(QtMainLoop, QuitBeforeRunIsNotForgotten) {
    KVQtMainLoop loop(qtApp());
    loop.quit(5);
    EXPECT_EQ(loop.run(), 5);
}

} // namespace
