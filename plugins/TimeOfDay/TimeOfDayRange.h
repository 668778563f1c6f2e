// Times of day and the test whether one lies between two others, over midnight too.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace corvane_plugins {

constexpr int secondsPerDay = 24 * 3600;

// "HH:MM" or "HH:MM:SS" (24-hour clock) as seconds since midnight.
inline std::optional<int> parseTimeOfDay(const std::string& text) {
    int hours = 0, minutes = 0, seconds = 0, consumed = 0;
    int fields =
        std::sscanf(text.c_str(), "%2d:%2d%n:%2d%n", &hours, &minutes, &consumed, &seconds, &consumed);
    if (fields < 2 || consumed != int(text.size()))
        return std::nullopt;
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}

// Whether `now` lies in [from, to). A range whose end comes before its start runs over midnight
// (22:00 to 06:00 holds at 23:00 and at 05:00); equal ends make an empty range.
inline bool isBetween(int now, int from, int to) {
    if (from <= to)
        return from <= now && now < to;
    return now >= from || now < to;
}

// Seconds from `now` until the clock next reads `time` (a whole day when it reads it now).
inline int secondsUntil(int now, int time) {
    int wait = (time - now + secondsPerDay) % secondsPerDay;
    return wait == 0 ? secondsPerDay : wait;
}

} // namespace corvane_plugins
