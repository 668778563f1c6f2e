#pragma once

#include "core/MainLoop.h"

#include <condition_variable>
#include <functional>
#include <mutex>

// Waiting for a worker thread that may itself be waiting to send to the loop thread. On the loop
// thread the wait serves those sends (or they are refused at shutdown), so neither side can block the
// other; elsewhere it is a plain condition wait. Workers call notify() after changing what a waiter
// tests.
class KVServingWait {
public:
    explicit KVServingWait(KVMainLoop* loop) : m_loop(loop) {}

    void wait(const std::function<bool()>& done);
    // Takes `mutex` the same way.
    template <class Mutex> void lock(Mutex& mutex) {
        wait([&] { return mutex.try_lock(); });
    }
    void notify();

private:
    KVMainLoop* m_loop;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};
