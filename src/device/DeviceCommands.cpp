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

} // namespace corvane::device
