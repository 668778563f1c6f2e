#include "devicectl/DeviceSettings.h"

#include "core/StoredNumbers.h"
#include "store/PropertyNode.h"

#include <array>

namespace corvane::devicectl {
namespace {

constexpr std::array<unsigned, 7> kSleepBreakpoints{0, 30, 60, 300, 1800, 3600, kNeverSleep};
constexpr int kPositionsPerStep = 10;

std::string boolText(bool value) {
    return value ? "true" : "false";
}

} // namespace

bool parseStoredBool(std::string_view text) {
    return text == "true";
}

std::optional<KVDeviceSettings> readDeviceSettings(const KVPropertyNode& root) {
    const KVPtr<KVPropertyNode> node = root.findChild(kDeviceNode);
    if (!node)
        return std::nullopt;
    KVDeviceSettings settings;
    settings.brightness = readStoredDecimal(node->childValue(kBrightnessKey)).value_or(0);
    settings.autoBrightness = parseStoredBool(node->childValue(kAutoBrightnessKey));
    settings.sleepDelay = readStoredDecimal(node->childValue(kSleepDelayKey)).value_or(0);
    // The one key whose absence reads as on.
    settings.showVirtualDrive = parseStoredBool(node->childValue(kShowVirtualDriveKey, "true"));
    return settings;
}

void writeDeviceSettings(const KVDeviceSettings& settings, KVPropertyNode& root) {
    auto node = KVPropertyNode::create(std::string(kDeviceNode));
    node->addChild(std::string(kBrightnessKey), std::to_string(settings.brightness));
    node->addChild(std::string(kAutoBrightnessKey), boolText(settings.autoBrightness));
    node->addChild(std::string(kSleepDelayKey), std::to_string(settings.sleepDelay));
    node->addChild(std::string(kShowVirtualDriveKey), boolText(settings.showVirtualDrive));
    root.setChild(node);
}

unsigned sleepPositionToSeconds(int position) {
    if (position <= 0)
        return 0;
    if (position >= kSleepSliderMaximum)
        return kNeverSleep;
    const size_t i = size_t(position / kPositionsPerStep);
    const unsigned from = kSleepBreakpoints[i];
    const unsigned to = kSleepBreakpoints[i + 1];
    return from + (to - from) * unsigned(position - kPositionsPerStep * int(i)) / kPositionsPerStep;
}

int sleepSecondsToPosition(unsigned seconds) {
    for (size_t i = 1; i < kSleepBreakpoints.size(); ++i) {
        if (seconds < kSleepBreakpoints[i]) {
            const unsigned from = kSleepBreakpoints[i - 1];
            const unsigned span = kSleepBreakpoints[i] - from;
            return int((seconds - from) * kPositionsPerStep / span) + kPositionsPerStep * int(i - 1);
        }
    }
    return kSleepSliderMaximum;
}

std::string sleepDelayText(unsigned seconds) {
    if (seconds == 0)
        return "Immediately";
    if (seconds == kNeverSleep)
        return "Never";
    const unsigned hours = seconds / 3600;
    const unsigned minutes = seconds / 60 % 60;
    const unsigned rest = seconds % 60;
    std::string text;
    if (hours != 0)
        text += std::to_string(hours) + " hr ";
    if (minutes != 0)
        text += std::to_string(minutes) + " min ";
    if (rest != 0)
        text += std::to_string(rest) + " sec ";
    return text;
}

} // namespace corvane::devicectl
