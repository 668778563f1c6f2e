#include "device/DeviceCommands.h"

#include <algorithm>
#include <fmt/format.h>

namespace corvane::device {

std::string brightnessCommand(unsigned brightness, bool automatic) {
    return fmt::format("b{:03d}{}", std::min(brightness, kMaxBrightness), automatic ? "A" : "");
}

std::string sleepCommand(unsigned seconds) {
    return fmt::format("s{:04d}", std::min(seconds, kMaxSleepDelay));
}

std::optional<BrightnessSetting> brightnessFromCommand(std::string_view command) {
    const bool automatic = command.size() == 5 && command[4] == 'A';
    if ((command.size() != 4 && !automatic) || command[0] != 'b')
        return std::nullopt;
    unsigned value = 0;
    for (const char digit : command.substr(1, 3)) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + unsigned(digit - '0');
    }
    return BrightnessSetting{std::min(value, kMaxBrightness), automatic};
}

} // namespace corvane::device
