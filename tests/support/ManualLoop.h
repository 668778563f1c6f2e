#pragma once

#include "core/MainLoop.h"

#include <map>

// A main loop driven by hand, for tests and tools without Qt.
class KVManualLoop final : public KVMainLoop {
public:
    KVManualLoop();
    ~KVManualLoop() override;

    void post(Task task) override;
    TimerId addTimer(std::chrono::milliseconds interval, bool repeat, Task task) override;
    void cancelTimer(TimerId id) override;
    WatchId watchFd(int fd, unsigned events, std::function<void(unsigned)> callback) override;
    void unwatchFd(WatchId id) override;
    int run() override;
    void quit(int code) override;

    // Runs what is ready now (posted tasks, sends, due timers, ready descriptors), waiting at most
    // `wait` for something to happen. Returns true if anything ran.
    bool runOnce(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Runs until `done()` holds or `timeout` passes; answers done().
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    bool quitRequested() const { return m_quit; }

protected:
    void wakeForSends() override;

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Timer {
        TimePoint due;
        std::chrono::milliseconds interval;
        bool repeat;
        Task task;
    };
    struct Watch {
        int fd;
        unsigned events;
        std::function<void(unsigned)> callback;
    };

    bool runPosted();
    bool runDueTimers();
    bool pollFds(std::chrono::milliseconds wait);

    std::mutex m_postMutex;
    std::deque<Task> m_posted;
    std::map<TimerId, Timer> m_timers;
    std::map<WatchId, Watch> m_watches;
    uint64_t m_nextId = 1;
    int m_wakeFd = -1;
    bool m_quit = false;
    int m_exitCode = 0;
};
