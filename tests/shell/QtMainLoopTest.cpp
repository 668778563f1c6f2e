#include "shell/QtMainLoop.h"

#include "core/MessageDispatch.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

QCoreApplication& qtApp() {
    static int argc = 1;
    static char name[] = "shell_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

TEST(QtMainLoop, TimersAndWorkerSendsRunOnTheLoopThread) {
    KVQtMainLoop loop(qtApp());
    CKVMessageDispatch dispatch(loop);

    int ticks = 0;
    KVMainLoop::TimerId tick = 0;
    tick = loop.addTimer(5ms, true, [&] {
        if (++ticks == 3)
            loop.cancelTimer(tick); // cancelling from inside its own callback
    });

    // Watched descriptors are served by the program's own single-instance socket, run end to end.
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
    EXPECT_TRUE(sent);
    EXPECT_EQ(receiver.thread, std::this_thread::get_id());
}

TEST(QtMainLoop, QuitBeforeRunIsNotForgotten) {
    KVQtMainLoop loop(qtApp());
    loop.quit(5);
    EXPECT_EQ(loop.run(), 5);
}

} // namespace
