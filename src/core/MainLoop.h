#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The user-interface thread's event loop as the rest of the program sees it: posted tasks, sends that
// wait from any thread, timers and file-descriptor watches. The application runs it on Qt's loop; tests
// drive KVManualLoop (tests/support) by hand.
class KVMainLoop {
public:
    using Task = std::function<void()>;
    using TimerId = uint64_t;
    using WatchId = uint64_t;
    enum FdEvents : unsigned { Readable = 1, Writable = 2 };

    KVMainLoop();
    virtual ~KVMainLoop();
    KVMainLoop(const KVMainLoop&) = delete;
    KVMainLoop& operator=(const KVMainLoop&) = delete;

    // Queues `task` to run later on the loop thread. Safe from any thread.
    virtual void post(Task task) = 0;

    // Runs `task` on the loop thread and returns when it has run: at once when called on the loop thread,
    // otherwise by handing it over and waiting. Returns false, without running it, once sends are refused.
    bool send(const Task& task);

    // Loop thread only. A timer fires after `interval`, once or repeatedly until cancelled.
    virtual TimerId addTimer(std::chrono::milliseconds interval, bool repeat, Task task) = 0;
    virtual void cancelTimer(TimerId id) = 0;

    // Loop thread only. `callback` gets the events that are ready (FdEvents bits).
    virtual WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> callback) = 0;
    virtual void unwatchFd(WatchId id) = 0;

    // Runs until quit() and returns its code.
    virtual int run() = 0;
    virtual void quit(int code) = 0;

    bool isLoopThread() const { return std::this_thread::get_id() == m_loopThread; }

    // Shutdown: sends that wait now fail at once, and new ones are refused, so a worker that the loop
    // thread is about to join can never block it. Irreversible.
    void refuseSends();

    // Loop thread: serves sends from workers until `done()` holds or `timeout` passes (answers done()).
    // Use it to wait for a worker that may still send.
    bool serveSendsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

protected:
    // Runs the sends that workers are waiting on. Implementations call it on the loop thread after wake().
    void serveSends();
    // Asks the loop thread to call serveSends() soon. Called from any thread.
    virtual void wakeForSends() = 0;

private:
    struct PendingSend;
    std::thread::id m_loopThread;
    std::mutex m_mutex;
    std::condition_variable m_sendQueued;
    std::deque<std::shared_ptr<PendingSend>> m_sends;
    bool m_refusing = false;
};
