#pragma once

#include <optional>
#include <string>
#include <string_view>

// The command texts of "vTavirex/order.sys": one command, ASCII, written with its terminating zero.
namespace corvane::device {

inline constexpr unsigned kMaxBrightness = 100;
inline constexpr unsigned kMaxSleepDelay = 9999; // seconds; the editor calls it "Never"

// "b%03d", or "b%03dA" with automatic brightness; values above 100 are sent as 100.
std::string brightnessCommand(unsigned brightness, bool automatic);
// "s%04d"; delays above 9999 s are sent as 9999.
std::string sleepCommand(unsigned seconds);

struct BrightnessSetting {
    unsigned brightness;
    bool automatic;
};
// Reads a brightness command back (for viewers of order.sys); empty for any other text.
std::optional<BrightnessSetting> brightnessFromCommand(std::string_view command);

} // namespace corvane::device
