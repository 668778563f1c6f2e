// A worker thread that calls a function again and again, sleeping between the calls as long as the
// function asks. Stopping wakes the sleep at once, so an object that owns a Ticker can be destroyed
// without waiting for its next tick.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace corvane_plugins {

class Ticker {
public:
    using Delay = std::chrono::milliseconds;

    Ticker() = default;
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;
    ~Ticker() { stop(); }

    // Runs `tick` after `first`, then after each delay `tick` returns, until `stop`.
    void start(Delay first, std::function<Delay()> tick) {
        stop();
        stopping_ = false;
        woken_ = false;
        thread_ = std::thread([this, first, tick = std::move(tick)] { run(first, tick); });
    }

    // Ends the sleep early: the next tick happens now.
    void wake() {
        std::lock_guard lock(mutex_);
        woken_ = true;
        wakeup_.notify_one();
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wakeup_.notify_one();
        }
        if (thread_.joinable())
            thread_.join();
    }

private:
    void run(Delay delay, const std::function<Delay()>& tick) {
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wakeup_.wait_for(lock, delay, [this] { return stopping_ || woken_; });
                if (stopping_)
                    return;
                woken_ = false;
            }
            delay = tick();
        }
    }

    std::mutex mutex_;
    std::condition_variable wakeup_;
    bool stopping_ = false;
    bool woken_ = false;
    std::thread thread_;
};

// The time until the next whole `period` of the wall clock (the next minute, the next second), so a
// clock changes its picture when the time does rather than up to a period late.
inline Ticker::Delay untilNextWhole(std::chrono::seconds period) {
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto next = (duration_cast<seconds>(now) / period + 1) * period;
    return duration_cast<milliseconds>(next - now) + milliseconds(5);
}

} // namespace corvane_plugins
