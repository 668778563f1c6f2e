#pragma once

#include <optional>
#include <string>
#include <string_view>

class KVPropertyNode;

// The four settings that belong to the keyboard rather than to a layer, stored as the "Device" node of
// the configuration ("Device.plist"). Every value is text: integers in decimal, booleans "true"/"false".
struct KVDeviceSettings {
    unsigned brightness = 70;     // 0...100; larger values are sent as 100
    bool autoBrightness = false;  // the brightness command in its automatic form
    unsigned sleepDelay = 420;    // seconds; 0 = immediately, 9999 = never
    bool showVirtualDrive = true; // the keyboard's volume is mounted for the user

    bool operator==(const KVDeviceSettings&) const = default;
};

namespace corvane::devicectl {

inline constexpr std::string_view kDeviceNode = "Device";
inline constexpr std::string_view kBrightnessKey = "Brightness";
inline constexpr std::string_view kAutoBrightnessKey = "AutoBrightness";
inline constexpr std::string_view kSleepDelayKey = "SleepModeDelay";
inline constexpr std::string_view kShowVirtualDriveKey = "ShowVirtualDrive";

inline constexpr unsigned kMaxBrightness = 100;
inline constexpr unsigned kNeverSleep = 9999;

// The settings of the root's "Device" child; empty without one (the defaults then stay). A key missing
// from an existing node reads as 0, false, 0 and true: a node counts as written whole.
std::optional<KVDeviceSettings> readDeviceSettings(const KVPropertyNode& root);
// Adds (or replaces) the root's "Device" child with all four keys.
void writeDeviceSettings(const KVDeviceSettings& settings, KVPropertyNode& root);

// Exactly "true" is true.
bool parseStoredBool(std::string_view text);

// The sleep slider of the keyboard dialog. Its breakpoints at positions 0, 10, ..., 60 are 0 s, 30 s,
// 1 min, 5 min, 30 min, 1 hr and "never"; between them the seconds grow linearly.
inline constexpr int kSleepSliderMaximum = 60;
inline constexpr int kBrightnessSliderMaximum = 100;
unsigned sleepPositionToSeconds(int position);
int sleepSecondsToPosition(unsigned seconds);
// "Immediately" for 0, "Never" for 9999, else the hours, minutes and seconds that are not 0, each
// followed by " hr ", " min " or " sec " ("1 min 30 sec ").
std::string sleepDelayText(unsigned seconds);

} // namespace corvane::devicectl
