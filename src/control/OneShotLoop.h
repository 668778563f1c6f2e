#pragma once

#include "core/MainLoop.h"

#include <deque>

// The loop of a tool that does one thing and ends: what is posted runs when the tool drains the loop
// before it exits. Timers and descriptor watches are accepted but never fire, because nothing of a
// one-shot request waits for time to pass or for a descriptor.
class KVOneShotLoop final : public KVMainLoop {
public:
    void post(Task task) override { m_posted.push_back(std::move(task)); }
    TimerId addTimer(std::chrono::milliseconds, bool, Task) override { return ++m_lastId; }
    void cancelTimer(TimerId) override {}
    WatchId watchFd(int, unsigned, std::function<void(unsigned)>) override { return ++m_lastId; }
    void unwatchFd(WatchId) override {}
    // Runs what was posted, including what that posts in turn.
    int run() override {
        while (!m_posted.empty()) {
            Task task = std::move(m_posted.front());
            m_posted.pop_front();
            task();
        }
        return 0;
    }
    void quit(int) override {}

protected:
    // Single-threaded: nobody else sends.
    void wakeForSends() override {}

private:
    std::deque<Task> m_posted;
    uint64_t m_lastId = 0;
};
