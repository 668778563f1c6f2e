#pragma once

#include <chrono>
#include <optional>

// How long the user has not touched any input device of the session. The keyboard's own sleep timer
// only sees the keyboard, so the device controller tells it when the user is busy elsewhere.
class IKVIdleSource {
public:
    virtual ~IKVIdleSource() = default;
    // Empty when the session cannot say; the keyboard then never counts as idle.
    virtual std::optional<std::chrono::milliseconds> IdleTime() = 0;
};
