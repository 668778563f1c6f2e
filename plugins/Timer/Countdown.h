// The countdown's state, apart from drawing and threads: stopped with some time left, or running
// towards a deadline. Reaching zero ends in a flash that lasts `flashLength`.
#pragma once

#include <chrono>

namespace corvane_plugins {

class Countdown {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = Clock::duration;
    static constexpr std::chrono::seconds flashLength{5};
    static constexpr std::chrono::milliseconds flashPhase{250};

    explicit Countdown(std::chrono::seconds length) : length_(length), left_(length) {}

    // A key press: starts, pauses, or after reaching zero starts again from the full length.
    void toggle(Clock::time_point now) {
        if (!running_) {
            deadline_ = now + left_;
            running_ = true;
        } else if (now < deadline_) {
            left_ = deadline_ - now;
            running_ = false;
        } else {
            left_ = length_;
            deadline_ = now + left_;
        }
    }

    bool running(Clock::time_point now) const { return running_ && now < deadline_; }
    bool finished(Clock::time_point now) const { return running_ && now >= deadline_; }
    bool flashing(Clock::time_point now) const { return finished(now) && now < deadline_ + flashLength; }
    // Which of the two flash colours shows now.
    bool flashPhaseOn(Clock::time_point now) const { return ((now - deadline_) / flashPhase) % 2 == 0; }

    // Whole seconds left, rounded up so the display reads the full length at the start and zero only
    // at the end.
    long secondsLeft(Clock::time_point now) const {
        Duration left = running_ ? (now < deadline_ ? deadline_ - now : Duration::zero()) : left_;
        return long(std::chrono::ceil<std::chrono::seconds>(left).count());
    }

    // How long until the picture changes.
    Duration untilChange(Clock::time_point now) const {
        if (running(now)) {
            Duration left = deadline_ - now;
            Duration fraction = left - std::chrono::floor<std::chrono::seconds>(left);
            return fraction > Duration::zero() ? fraction : std::chrono::seconds(1);
        }
        if (flashing(now))
            return flashPhase - (now - deadline_) % flashPhase;
        return std::chrono::hours(1); // nothing changes until a key press wakes the view
    }

private:
    std::chrono::seconds length_;
    Duration left_;
    bool running_ = false;
    Clock::time_point deadline_{};
};

} // namespace corvane_plugins
