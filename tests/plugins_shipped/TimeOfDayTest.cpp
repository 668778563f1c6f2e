// The time-of-day range arithmetic; the configurator's plug-in test drives the condition end to end.
#include "TimeOfDay/TimeOfDayRange.h"

#include <gtest/gtest.h>

using corvane_plugins::isBetween;
using corvane_plugins::parseTimeOfDay;

namespace {

// A time of day written as hhmm, in seconds.
constexpr int at(int hhmm) {
    return hhmm / 100 * 3600 + hhmm % 100 * 60;
}

TEST(TimeOfDayRange, ReadsTimesAndHoldsFromTheStartUntilJustBeforeTheEndAlsoOverMidnight) {
    EXPECT_EQ(parseTimeOfDay("08:30"), at(830));
    EXPECT_EQ(parseTimeOfDay("23:59:59"), at(2359) + 59);
    for (const char* bad : {"", "24:00", "12:60", "12", "12:30:", "12:30:60", "12:30pm", "-1:30", "noon"})
        EXPECT_FALSE(parseTimeOfDay(bad)) << bad;

    // {now, from, to, holds}; equal ends make an empty range, at that time too.
    const std::tuple<int, int, int, bool> cases[] = {
        {800, 800, 1700, true},   {1659, 800, 1700, true}, {1700, 800, 1700, false}, {759, 800, 1700, false},
        {2300, 2200, 600, true},  {0, 2200, 600, true},    {559, 2200, 600, true},   {600, 2200, 600, false},
        {1200, 2200, 600, false}, {900, 900, 900, false},  {1000, 900, 900, false}};
    for (const auto& [now, from, to, holds] : cases)
        EXPECT_EQ(isBetween(at(now), at(from), at(to)), holds) << now << " in " << from << "-" << to;
    // The wait until a time, across midnight.
    EXPECT_EQ(corvane_plugins::secondsUntil(at(2300), at(100)), 2 * 3600);
    EXPECT_EQ(corvane_plugins::secondsUntil(at(100), at(100)), 24 * 3600);
}

} // namespace
